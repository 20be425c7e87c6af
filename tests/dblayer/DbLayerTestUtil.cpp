#include "DbLayerTestUtil.h"

#include "core/Exception.h"
#include "platform/Credentials.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {
// Every test process gets the private test instance's environment before its first test.
[[maybe_unused]] ::testing::Environment* const gFbEnvironment =
    ::testing::AddGlobalTestEnvironment(new TFbTestEnvironment);
} // namespace

TEnvVar::TEnvVar(const char* name, const std::optional<std::string>& value) : FName(name) {
    if (const char* old = std::getenv(name))
        FSaved = old;
    if (value)
        ::setenv(name, value->c_str(), 1);
    else
        ::unsetenv(name);
}

TEnvVar::~TEnvVar() {
    if (FSaved)
        ::setenv(FName.c_str(), FSaved->c_str(), 1);
    else
        ::unsetenv(FName.c_str());
}

TSystemPassword::TSystemPassword() : TEnvVar(platform::kSystemAccountPasswordVariable, FbTestPassword()) {}

TLayerDatabase::TLayerDatabase(const std::vector<std::string>& schema) : Path(Dir / FileName) {
    CreateFbTestDatabase(FbTestServer(), Path);
    if (!schema.empty())
        Execute(schema);
}

std::string TLayerDatabase::TcpName() const {
    return FbTestServer().TcpName(Path);
}

std::string TLayerDatabase::Query(const std::string& sql) const {
    return QueryFbTestValue(FbTestServer(), Path, sql);
}

void TLayerDatabase::Execute(const std::vector<std::string>& statements) const {
    ExecuteFbTestSql(FbTestServer(), Path, statements);
}

void PrepareFor(TkwDatabase& database, const TLayerDatabase& db) {
    database.SetRemoteSerwer(true);
    database.SetSerwerName("127.0.0.1/" + std::to_string(FbTestServer().Port()));
    database.SetProtocolName(npTCP);
    database.SetDatabaseDir(db.Dir.Path().string());
    database.SetDatabaseFileName(db.FileName);
    database.SetDatabaseFileExt(".gdb");
    database.PrepareParams();
}

TAttached::TAttached(const std::vector<std::string>& schema) : File(schema) {
    Db.SetName("DB_TEST");
    PrepareFor(Db, File);
    Db.SetConnected(true);
}

TOutcome Outcome(const std::function<void()>& action) {
    TOutcome outcome;
    try {
        action();
    } catch (const EAbort& e) {
        outcome = {rsAbort, e.Message(), 0, {}};
    } catch (const EKwDbError& e) {
        outcome = {rsKwDbError, e.Message(), e.IBErrorCode(), e.PolMessage()};
    } catch (const Exception& e) {
        outcome = {rsPlainException, e.Message(), 0, {}};
    } catch (const std::exception& e) {
        outcome = {rsOther, e.what(), 0, {}};
    }
    return outcome;
}

std::vector<std::string> ShownTexts(const TFakeUi& ui) {
    std::vector<std::string> texts = ui.ErrorBoxes;
    for (const TRecordedWindow& w : ui.Windows)
        texts.insert(texts.end(), {w.Tresc, w.OpisyDodatkowe, w.OpisPotwierdzenia});
    for (const TRecordedIbErrorWnd& w : ui.IbErrorWnds) {
        texts.insert(texts.end(), {w.Message, w.DatabaseName, w.ObjectName, w.Sql});
        texts.insert(texts.end(), w.Params.begin(), w.Params.end());
    }
    return texts;
}

void ExpectNoPassword(const std::vector<std::string>& texts, const fs::path& dir) {
    const std::string& password = FbTestPassword();
    ASSERT_FALSE(password.empty());
    for (const std::string& text : texts)
        EXPECT_EQ(text.find(password), std::string::npos) << "the password in: " << text;
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(dir, ec)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(content.find(password), std::string::npos) << "the password in " << entry.path();
    }
}
