// Generator values: the read-ahead block and its server calls, 64-bit values, letter case, and
// names the database does not know.

#include "dblayer/KwGenerator.h"
#include "DbLayerTestUtil.h"
#include "dblayer/KwTransaction.h"
#include "fbclient/FbErrors.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// A provider on an attached database, counting the statements its transaction executes.
struct TGeneratorTest : public ::testing::Test {
    explicit TGeneratorTest(int bufferSize = 3)
        : Base({"create generator GEN_NUMER", "set generator GEN_NUMER to 10"}),
          Provider(&Base.Db, bufferSize) {
        Provider.Transaction().BeforeSQLExecute = [this](TObject*, TObject*) { ++ServerCalls; };
    }
    std::string ServerValue() const {
        return Base.File.Query("select gen_id(GEN_NUMER, 0) from RDB$DATABASE");
    }

    TFakeUi Ui;
    TAttached Base;
    int ServerCalls = 0; // before the provider, whose end may still run statements' hooks
    TkwGetGenerator Provider;
};

// From 10 with a block of 3: one call moves the server to 13 and hands out 11 to 13; the fourth
// request makes the second call, for 14 to 16.
TEST_F(TGeneratorTest, BlockOfThreeOneCallEach) {
    const std::int64_t expected[] = {11, 12, 13, 14, 15, 16, 17};
    const int callsAfter[] = {1, 1, 1, 2, 2, 2, 3};
    const char* serverAfter[] = {"13", "13", "13", "16", "16", "16", "19"};
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(Provider.GetIdValue64("NUMER"), expected[i]);
        EXPECT_EQ(ServerCalls, callsAfter[i]);
        EXPECT_EQ(ServerValue(), serverAfter[i]);
    }
    EXPECT_EQ(Provider.GeneratorCount(), 1u);
    // Its own read-only transaction, begun by the first request and still running.
    EXPECT_TRUE(Provider.Transaction().InTransaction());
    EXPECT_EQ(Provider.Transaction().TransIsolation(), tiReadCommittedReadOnly);
    EXPECT_EQ(Provider.Transaction().CallCount(), 1);
}

TEST_F(TGeneratorTest, NamesDifferingInLetterCaseShareOneGenerator) {
    EXPECT_EQ(Provider.GetIdValue("numer"), 11);
    EXPECT_EQ(Provider.GetIdValue("Numer"), 12);
    EXPECT_EQ(Provider.GetIdValue("NUMER"), 13);
    EXPECT_EQ(Provider.GeneratorCount(), 1u);
    EXPECT_EQ(ServerCalls, 1);
}

// Above 2^31: whole from GetIdValue64, the low 32 bits from GetIdValue.
TEST_F(TGeneratorTest, SixtyFourBitValues) {
    Base.File.Execute({"set generator GEN_NUMER to 3000000000"});
    EXPECT_EQ(Provider.GetIdValue64("NUMER"), 3000000001LL);
    EXPECT_EQ(Provider.GetIdValue64("NUMER"), 3000000002LL);
    EXPECT_EQ(Provider.GetIdValue("NUMER"), static_cast<std::int32_t>(3000000003LL - (1LL << 32)));
}

// A generator the database lacks fails on every request, as a client error for the caller, and
// leaves no entry behind; the others go on working.
TEST_F(TGeneratorTest, MissingGeneratorFailsEveryTime) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        SCOPED_TRACE(attempt);
        std::string message;
        try {
            Provider.GetIdValue("BRAK");
            ADD_FAILURE() << "a value from a missing generator";
        } catch (const EFbLibraryError& e) {
            message = e.Message();
        }
        EXPECT_NE(message.find("GEN_BRAK"), std::string::npos) << message;
        EXPECT_EQ(Provider.GeneratorCount(), 0u);
    }
    EXPECT_EQ(ServerCalls, 0);
    EXPECT_TRUE(Ui.IbErrorWnds.empty());
    EXPECT_EQ(Provider.GetIdValue("NUMER"), 11);
}

// A block below 1 would move the generator back on the server (GEN_ID with a negative step) and
// then have no value to give; it is refused before any call, on every request.
class BufferBelowOne : public TGeneratorTest, public ::testing::WithParamInterface<int> {
protected:
    BufferBelowOne() : TGeneratorTest(GetParam()) {}
};

TEST_P(BufferBelowOne, RefusedWithoutTouchingTheServer) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        const TOutcome outcome = Outcome([&] { Provider.GetIdValue64("NUMER"); });
        EXPECT_EQ(outcome.Raised, rsPlainException);
        EXPECT_NE(outcome.Message.find("GEN_NUMER"), std::string::npos) << outcome.Message;
    }
    EXPECT_EQ(Provider.GeneratorCount(), 0u);
    EXPECT_EQ(ServerCalls, 0);
    EXPECT_EQ(ServerValue(), "10");
}

INSTANTIATE_TEST_SUITE_P(Sizes, BufferBelowOne, ::testing::Values(0, -3),
                         [](const auto& info) { return info.param == 0 ? std::string("Zero") : "Negative"; });

} // namespace
