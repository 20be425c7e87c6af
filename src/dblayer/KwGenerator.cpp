#include "dblayer/KwGenerator.h"

#include "core/Encoding.h"
#include "core/Exception.h"
#include "dblayer/KwTransaction.h"
#include "fbclient/FbQuery.h"

TkwGenerator::TkwGenerator(const std::string& name, TFbCustomTransaction* transaction, int bufferSize)
    : fBufferSize(bufferSize) {
    if (bufferSize < 1)
        throw Exception("Generator GEN_" + name + ": the buffer size " + std::to_string(bufferSize) +
                        " is below 1.");
    fQueryGen = std::make_unique<TFbQuery>(nullptr);
    fQueryGen->SetDatabase(transaction ? transaction->DefaultDatabase() : nullptr);
    fQueryGen->SetTransaction(transaction);
    fQueryGen->SetSQLText("SELECT GEN_ID(GEN_" + name + ", " + std::to_string(bufferSize) +
                          ") from RDB$DATABASE");
    fQueryGen->Prepare();
}

TkwGenerator::~TkwGenerator() {
    try {
        fQueryGen->Close();
    } catch (...) {
        // The statement goes anyway; a failed close of its cursor changes nothing here.
    }
}

std::int64_t TkwGenerator::GetBufferedId() {
    if (fBufferedIdList.empty()) {
        fQueryGen->ExecQuery();
        const std::int64_t last = fQueryGen->Fields(0).AsInt64();
        for (std::int64_t value = last - fBufferSize + 1; value <= last; ++value)
            fBufferedIdList.push_back(value);
    }
    const std::int64_t value = fBufferedIdList.front();
    fBufferedIdList.pop_front();
    return value;
}

std::int32_t TkwGenerator::GetId() {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(GetBufferedId()));
}

TkwGetGenerator::TkwGetGenerator(TFbCustomDatabase* database, int bufferSize)
    : FDatabase(database), FTransaction(std::make_unique<TkwTransaction>(nullptr)), FBufferSize(bufferSize) {
    FTransaction->SetDefaultDatabase(database);
    FTransaction->SetAsReadOnly(true);
}

TkwGetGenerator::~TkwGetGenerator() = default;

void TkwGetGenerator::CheckTransaction() {
    if (!FTransaction->InTransaction())
        FTransaction->kwBeginTrans("");
}

std::unique_ptr<TkwGenerator> TkwGetGenerator::CreateGenerator(const std::string& name,
                                                               TFbCustomTransaction* transaction) {
    return std::make_unique<TkwGenerator>(name, transaction, FBufferSize);
}

TkwGenerator& TkwGetGenerator::Generator(const std::string& name) {
    CheckTransaction();
    const std::string key = UpperCase(name);
    auto it = FGeneratorList.find(key);
    if (it == FGeneratorList.end())
        it = FGeneratorList.emplace(key, CreateGenerator(name, FTransaction.get())).first;
    return *it->second;
}

std::int32_t TkwGetGenerator::GetIdValue(const std::string& name) {
    return Generator(name).GetId();
}

std::int64_t TkwGetGenerator::GetIdValue64(const std::string& name) {
    return Generator(name).GetId64();
}
