// The DPB and TPB encodings, byte for byte, with the lines written back.

#include "fbclient/FbParams.h"
#include "FbTestHelpers.h"

#include <ibase.h>

#include <map>
#include <set>

namespace {

struct TBlockCase {
    const char* Name;
    std::vector<std::string> Lines;
    std::string Expected;
    std::vector<std::string> LinesAfter; // empty: as given
};

std::ostream& operator<<(std::ostream& out, const TBlockCase& c) {
    return out << c.Name;
}

const std::string kLong255(255, 'x');

// ---- DPB

class DpbEncoding : public ::testing::TestWithParam<TBlockCase> {};

TEST_P(DpbEncoding, EncodesByteForByte) {
    const TBlockCase& c = GetParam();
    std::vector<std::string> lines = c.Lines;
    EXPECT_EQ(Show(GenerateDPB(lines)), Show(c.Expected));
    EXPECT_EQ(lines, c.LinesAfter.empty() ? c.Lines : c.LinesAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Dpb, DpbEncoding,
    ::testing::Values(
        TBlockCase{"EmptyList", {}, Bytes({1}), {}},
        TBlockCase{"ConnectionTestParameters",
                   {"user_name=SYSKWR", "password=tajne", "lc_ctype=WIN1250", "num_buffers=250"},
                   Bytes({1,   28,  6,  'S', 'Y', 'S', 'K', 'W', 'R', 29,  5,   't', 'a', 'j',
                          'n', 'e', 48, 7,   'W', 'I', 'N', '1', '2', '5', '0', 5,   1,   250}),
                   {}},
        TBlockCase{"NumBuffers300CutToLowByte", {"num_buffers=300"}, Bytes({1, 5, 1, 44}), {}},
        TBlockCase{"NumericGroup",
                   {"verify=3", "dbkey_scope=1", "damaged=1", "force_write=1", "no_reserve=0",
                    "online_dump=2", "old_file_size=7", "overwrite=1", "connect_timeout=10",
                    "dummy_packet_interval=120"},
                   Bytes({1,  9, 1, 3,  13, 1, 1,  17, 1, 1,  24, 1,  1,  27, 1,  0,
                          33, 1, 2, 34, 1,  7, 54, 1,  1, 57, 1,  10, 58, 1,  120}),
                   {}},
        TBlockCase{"NumericNegativeLowByte", {"num_buffers=-1"}, Bytes({1, 5, 1, 255}), {}},
        TBlockCase{"ZeroGroupIgnoresValue",
                   {"garbage_collect=5", "no_garbage_collect", "activate_shadow=x",
                    "delete_shadow=", "begin_log=anything", "quit_log=9"},
                   Bytes({1, 8, 1, 0, 16, 1, 0, 21, 1, 0, 23, 1, 0, 25, 1, 0, 26, 1, 0}),
                   {}},
        TBlockCase{"SweepAlwaysTwo", {"sweep=7"}, Bytes({1, 10, 1, 2}), {}},
        TBlockCase{
            "SweepIntervalLittleEndian", {"sweep_interval=20000"}, Bytes({1, 22, 4, 0x20, 0x4E, 0, 0}), {}},
        TBlockCase{
            "SweepIntervalNegative", {"sweep_interval=-2"}, Bytes({1, 22, 4, 0xFE, 0xFF, 0xFF, 0xFF}), {}},
        TBlockCase{
            "StringGroup",
            {"license=L", "sys_user_name=su", "encrypt_key=k", "user_name=u", "password=p", "password_enc=pe",
             "old_file=f", "lc_messages=m", "lc_ctype=WIN1250", "sql_role_name=R"},
            Bytes({1,   18, 1, 'L', 19, 2, 's', 'u', 20, 1,   'k', 28,  1,   'u', 29,  1,   'p', 30, 2,  'p',
                   'e', 36, 1, 'f', 47, 1, 'm', 48,  7,  'W', 'I', 'N', '1', '2', '5', '0', 60,  1,  'R'}),
            {}},
        TBlockCase{"StringValueKeepsCaseAndEquals",
                   {"password=Ab=cD"},
                   Bytes({1, 29, 5, 'A', 'b', '=', 'c', 'D'}),
                   {}},
        TBlockCase{"StringValueEmpty", {"sql_role_name="}, Bytes({1, 60, 0}), {}},
        TBlockCase{"StringValue255", {"password=" + kLong255}, Bytes({1, 29, 255}) + kLong255, {}},
        TBlockCase{"SqlDialectAsDigitValue", {"sql_dialect=3"}, Bytes({1, 63, 1, 3}), {}},
        TBlockCase{"SqlDialectOnlyFirstCharacter", {"sql_dialect=31"}, Bytes({1, 63, 2, 3, '1'}), {}},
        TBlockCase{"PrefixRemoved",
                   {"isc_dpb_lc_ctype=WIN1250"},
                   Bytes({1, 48, 7, 'W', 'I', 'N', '1', '2', '5', '0'}),
                   {}},
        TBlockCase{
            "CapitalLetters", {"LC_CTYPE=WIN1250"}, Bytes({1, 48, 7, 'W', 'I', 'N', '1', '2', '5', '0'}), {}},
        TBlockCase{"CapitalPrefix",
                   {"ISC_DPB_User_Name=SYSKWR"},
                   Bytes({1, 28, 6, 'S', 'Y', 'S', 'K', 'W', 'R'}),
                   {}},
        TBlockCase{"TrimmingWrittenBack",
                   {"  user_name=SYSKWR \t", "\tlc_ctype=WIN1250  "},
                   Bytes({1, 28, 6, 'S', 'Y', 'S', 'K', 'W', 'R', 48, 7, 'W', 'I', 'N', '1', '2', '5', '0'}),
                   {"user_name=SYSKWR", "lc_ctype=WIN1250"}},
        TBlockCase{"BlankAfterEqualsStaysInValue",
                   {"user_name= SYSKWR"},
                   Bytes({1, 28, 7, ' ', 'S', 'Y', 'S', 'K', 'W', 'R'}),
                   {}},
        TBlockCase{"EmptyLinesSkipped",
                   {"", "   ", "num_buffers=250", ""},
                   Bytes({1, 5, 1, 250}),
                   {"", "", "num_buffers=250", ""}}),
    [](const auto& info) { return std::string(info.param.Name); });

struct TErrorCase {
    const char* Name;
    std::vector<std::string> Lines;
    std::string Message;
    int SQLCode; // client error ordinal; -2: not a client error
    std::vector<std::string> LinesAfter;
};

std::ostream& operator<<(std::ostream& out, const TErrorCase& c) {
    return out << c.Name;
}

class DpbErrors : public ::testing::TestWithParam<TErrorCase> {};

TEST_P(DpbErrors, RefusesWithItsText) {
    const TErrorCase& c = GetParam();
    std::vector<std::string> lines = c.Lines;
    try {
        GenerateDPB(lines);
        ADD_FAILURE() << "no error";
    } catch (const EFbClientError& e) {
        EXPECT_EQ(e.Message(), c.Message);
        EXPECT_EQ(e.SQLCode(), c.SQLCode);
        EXPECT_EQ(e.RaiserName(), "");
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), c.Message);
        EXPECT_EQ(c.SQLCode, -2) << "a plain exception instead of a client error";
    }
    if (!c.LinesAfter.empty()) {
        EXPECT_EQ(lines, c.LinesAfter);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Dpb, DpbErrors,
    ::testing::Values(
        TErrorCase{"BlankBeforeEqualsIsPartOfTheName",
                   {"lc_ctype =WIN1250"},
                   "DPB Constant (lc_ctype ) is unknown.",
                   feDPBConstantUnknown,
                   {}},
        TErrorCase{"UnknownNameLowerCasedPrefixRemoved",
                   {"ISC_DPB_Bogus=1"},
                   "DPB Constant (bogus) is unknown.",
                   feDPBConstantUnknown,
                   {}},
        TErrorCase{"UnknownNameKeepsOtherPrefix",
                   {"isc_tpb_read"},
                   "DPB Constant (isc_tpb_read) is unknown.",
                   feDPBConstantUnknown,
                   {}},
        TErrorCase{"InstanceNameIsNoFirebirdItem",
                   {"instance_name=i"},
                   "DPB Constant (instance_name) is unknown.",
                   feDPBConstantUnknown,
                   {}},
        TErrorCase{"PageSizeUnsupported",
                   {"page_size=4096"},
                   "DPB Constant (isc_dpb_page_size) is unsupported.",
                   feDPBConstantNotSupported,
                   {}},
        TErrorCase{"UnsupportedAfterPrefixAndCase",
                   {"  ISC_DPB_FORCE=1 "},
                   "DPB Constant (isc_dpb_force) is unsupported.",
                   feDPBConstantNotSupported,
                   {"ISC_DPB_FORCE=1"}},
        TErrorCase{"TrimmedLinesStayWhenRefused",
                   {" user_name=SYSKWR ", " bogus "},
                   "DPB Constant (bogus) is unknown.",
                   feDPBConstantUnknown,
                   {"user_name=SYSKWR", "bogus"}},
        TErrorCase{"NumericNotAnInteger", {"num_buffers=abc"}, "'abc' is not a valid integer value", -2, {}},
        TErrorCase{"NumericEmpty", {"num_buffers"}, "'' is not a valid integer value", -2, {}},
        TErrorCase{"SweepIntervalNotAnInteger",
                   {"sweep_interval=1.5"},
                   "'1.5' is not a valid integer value",
                   -2,
                   {}},
        TErrorCase{"StringLongerThanItsLengthByte",
                   {"password=" + kLong255 + "y"},
                   "DPB item isc_dpb_password: the value is 256 bytes long, more than 255.",
                   -2,
                   {}},
        TErrorCase{
            "SqlDialectEmpty", {"sql_dialect="}, "DPB item isc_dpb_sql_dialect needs a value.", -2, {}}),
    [](const auto& info) { return std::string(info.param.Name); });

// Every code outside the supported groups is refused with its own table name; instance_name, which
// Firebird does not have, is refused as unknown (its row above).
TEST(DpbErrors, EveryUnsupportedCodeNamesItsTableEntry) {
    const std::set<int> supported = {5,  9,  13, 17, 24, 27, 33, 34, 54, 57, 58, 8,  16, 21, 23,
                                     25, 26, 10, 22, 18, 19, 20, 28, 29, 30, 36, 47, 48, 60, 63};
    int refused = 0;
    for (std::size_t code = 1; code <= kDpbNameCount; ++code) {
        if (supported.count(static_cast<int>(code)) || code == 75)
            continue;
        std::vector<std::string> lines = {std::string(kDpbNames[code - 1]) + "=1"};
        try {
            GenerateDPB(lines);
            ADD_FAILURE() << kDpbNames[code - 1] << " was accepted";
        } catch (const EFbClientError& e) {
            EXPECT_EQ(e.Message(),
                      std::string("DPB Constant (isc_dpb_") + kDpbNames[code - 1] + ") is unsupported.");
            EXPECT_EQ(e.SQLCode(), feDPBConstantNotSupported);
            ++refused;
        }
    }
    EXPECT_EQ(refused, 83 - 30 - 1);
}

// ---- TPB

class TpbEncoding : public ::testing::TestWithParam<TBlockCase> {};

TEST_P(TpbEncoding, EncodesByteForByte) {
    const TBlockCase& c = GetParam();
    std::vector<std::string> lines = c.Lines;
    EXPECT_EQ(Show(GenerateTPB(lines)), Show(c.Expected));
    EXPECT_EQ(lines, c.LinesAfter.empty() ? c.Lines : c.LinesAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Tpb, TpbEncoding,
    ::testing::Values(
        TBlockCase{"EmptyList", {}, std::string(), {}},
        TBlockCase{"OnlyBlankLines", {"", "  ", "\t"}, Bytes({3}), {"", "", ""}},
        TBlockCase{"ReadCommittedRecVersionNowait",
                   {"read_committed", "rec_version", "nowait"},
                   Bytes({3, 15, 17, 7}),
                   {}},
        TBlockCase{
            "WithRead", {"read_committed", "rec_version", "nowait", "read"}, Bytes({3, 15, 17, 7, 8}), {}},
        TBlockCase{"InternalTransactionLines",
                   {"write", "isc_tpb_nowait", "read_committed", "rec_version"},
                   Bytes({3, 9, 7, 15, 17}),
                   {}},
        TBlockCase{
            "RepeatableReadLines", {"write", "isc_tpb_nowait", "concurrency"}, Bytes({3, 9, 7, 2}), {}},
        TBlockCase{
            "LockWriteTableName", {"lock_write=TOWARY"}, Bytes({3, 11, 6, 'T', 'O', 'W', 'A', 'R', 'Y'}), {}},
        TBlockCase{"LockReadTableName", {"isc_tpb_lock_read=X"}, Bytes({3, 10, 1, 'X'}), {}},
        TBlockCase{"EveryPlainCode",
                   {"consistency", "concurrency", "shared", "protected", "exclusive", "wait", "nowait",
                    "read", "write", "ignore_limbo", "read_committed", "rec_version", "no_rec_version",
                    "no_auto_undo"},
                   Bytes({3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 14, 15, 17, 18, 20}),
                   {}},
        TBlockCase{"ValueOfPlainCodeIgnored", {"nowait=whatever"}, Bytes({3, 7}), {}},
        TBlockCase{"CaseAndPrefix", {"ISC_TPB_NOWAIT", "Read_Committed"}, Bytes({3, 7, 15}), {}},
        TBlockCase{
            "TrimmingWrittenBack", {"  nowait  ", "", " read "}, Bytes({3, 7, 8}), {"nowait", "", "read"}}),
    [](const auto& info) { return std::string(info.param.Name); });

class TpbErrors : public ::testing::TestWithParam<TErrorCase> {};

TEST_P(TpbErrors, RefusesWithItsText) {
    const TErrorCase& c = GetParam();
    std::vector<std::string> lines = c.Lines;
    const auto e = Raised([&] { GenerateTPB(lines); });
    EXPECT_EQ(e.Message(), c.Message);
    EXPECT_EQ(e.SQLCode(), c.SQLCode);
}

INSTANTIATE_TEST_SUITE_P(Tpb, TpbErrors,
                         ::testing::Values(TErrorCase{"Autocommit",
                                                      {"autocommit"},
                                                      "TPB Constant (isc_tpb_autocommit) is unsupported.",
                                                      feTPBConstantNotSupported,
                                                      {}},
                                           TErrorCase{"VerbTime",
                                                      {"verb_time"},
                                                      "TPB Constant (isc_tpb_verb_time) is unsupported.",
                                                      feTPBConstantNotSupported,
                                                      {}},
                                           TErrorCase{"CommitTime",
                                                      {"isc_tpb_commit_time"},
                                                      "TPB Constant (isc_tpb_commit_time) is unsupported.",
                                                      feTPBConstantNotSupported,
                                                      {}},
                                           TErrorCase{
                                               "RestartRequests",
                                               {"RESTART_REQUESTS"},
                                               "TPB Constant (isc_tpb_restart_requests) is unsupported.",
                                               feTPBConstantNotSupported,
                                               {}},
                                           TErrorCase{"NoSavepointIsNoFirebirdItem",
                                                      {"no_savepoint"},
                                                      "TPB Constant (no_savepoint) is unknown.",
                                                      feTPBConstantUnknown,
                                                      {}},
                                           TErrorCase{"Unknown",
                                                      {"nowait", "Bogus_Thing"},
                                                      "TPB Constant (bogus_thing) is unknown.",
                                                      feTPBConstantUnknown,
                                                      {}},
                                           TErrorCase{"BlankBeforeEquals",
                                                      {"lock_write =T"},
                                                      "TPB Constant (lock_write ) is unknown.",
                                                      feTPBConstantUnknown,
                                                      {}}),
                         [](const auto& info) { return std::string(info.param.Name); });

// ---- tables against ibase.h

// Every item the encoder sends carries the code that ibase.h gives its name, and a table entry whose
// code the header gives to another item is refused, never sent (InterBase names among them).
#define CODE(prefix, name)                                                                                   \
    { prefix##name, #name }

struct TTableAgainstHeader {
    int Sent = 0;     // entries the encoder sends
    int SameName = 0; // entries named as the header names their code
};

// Encodes each table entry alone (with `value`): a sent item must be the header's constant of its
// name; `header` must know every code of the table.
template <std::size_t N>
TTableAgainstHeader CompareWithHeader(const std::array<const char*, N>& names,
                                      const std::map<int, std::string>& header, const char* kind,
                                      std::string (*generate)(std::vector<std::string>&), const char* value) {
    TTableAgainstHeader result;
    for (std::size_t code = 1; code <= N; ++code) {
        const std::string name = names[code - 1];
        const auto named = header.find(static_cast<int>(code));
        if (named == header.end()) {
            ADD_FAILURE() << "ibase.h has no " << kind << " item " << code;
            continue;
        }
        result.SameName += named->second == name;
        std::vector<std::string> lines = {name + value};
        std::string block;
        try {
            block = generate(lines);
        } catch (const EFbClientError&) {
            continue; // refused: nothing goes to the server
        }
        ++result.Sent;
        if (block.size() < 2) {
            ADD_FAILURE() << name << " gives no item";
            continue;
        }
        EXPECT_EQ(named->second, name) << "code " << code << " is isc_" << kind << "_" << named->second;
        EXPECT_EQ(static_cast<unsigned char>(block[1]), code) << name;
    }
    return result;
}

TEST(ParameterTables, DpbItemsSentAreTheHeadersConstants) {
    ASSERT_EQ(kDpbNames.size(), 83u);
    EXPECT_EQ(std::set<std::string>(kDpbNames.begin(), kDpbNames.end()).size(), 83u) << "duplicate names";
    const std::map<int, std::string> header = {CODE(isc_dpb_, cdd_pathname),
                                               CODE(isc_dpb_, allocation),
                                               CODE(isc_dpb_, journal),
                                               CODE(isc_dpb_, page_size),
                                               CODE(isc_dpb_, num_buffers),
                                               CODE(isc_dpb_, buffer_length),
                                               CODE(isc_dpb_, debug),
                                               CODE(isc_dpb_, garbage_collect),
                                               CODE(isc_dpb_, verify),
                                               CODE(isc_dpb_, sweep),
                                               CODE(isc_dpb_, enable_journal),
                                               CODE(isc_dpb_, disable_journal),
                                               CODE(isc_dpb_, dbkey_scope),
                                               CODE(isc_dpb_, number_of_users),
                                               CODE(isc_dpb_, trace),
                                               CODE(isc_dpb_, no_garbage_collect),
                                               CODE(isc_dpb_, damaged),
                                               CODE(isc_dpb_, license),
                                               CODE(isc_dpb_, sys_user_name),
                                               CODE(isc_dpb_, encrypt_key),
                                               CODE(isc_dpb_, activate_shadow),
                                               CODE(isc_dpb_, sweep_interval),
                                               CODE(isc_dpb_, delete_shadow),
                                               CODE(isc_dpb_, force_write),
                                               CODE(isc_dpb_, begin_log),
                                               CODE(isc_dpb_, quit_log),
                                               CODE(isc_dpb_, no_reserve),
                                               CODE(isc_dpb_, user_name),
                                               CODE(isc_dpb_, password),
                                               CODE(isc_dpb_, password_enc),
                                               CODE(isc_dpb_, sys_user_name_enc),
                                               CODE(isc_dpb_, interp),
                                               CODE(isc_dpb_, online_dump),
                                               CODE(isc_dpb_, old_file_size),
                                               CODE(isc_dpb_, old_num_files),
                                               CODE(isc_dpb_, old_file),
                                               CODE(isc_dpb_, old_start_page),
                                               CODE(isc_dpb_, old_start_seqno),
                                               CODE(isc_dpb_, old_start_file),
                                               CODE(isc_dpb_, drop_walfile),
                                               CODE(isc_dpb_, old_dump_id),
                                               CODE(isc_dpb_, wal_backup_dir),
                                               CODE(isc_dpb_, wal_chkptlen),
                                               CODE(isc_dpb_, wal_numbufs),
                                               CODE(isc_dpb_, wal_bufsize),
                                               CODE(isc_dpb_, wal_grp_cmt_wait),
                                               CODE(isc_dpb_, lc_messages),
                                               CODE(isc_dpb_, lc_ctype),
                                               CODE(isc_dpb_, cache_manager),
                                               CODE(isc_dpb_, shutdown),
                                               CODE(isc_dpb_, online),
                                               CODE(isc_dpb_, shutdown_delay),
                                               CODE(isc_dpb_, reserved),
                                               CODE(isc_dpb_, overwrite),
                                               CODE(isc_dpb_, sec_attach),
                                               CODE(isc_dpb_, disable_wal),
                                               CODE(isc_dpb_, connect_timeout),
                                               CODE(isc_dpb_, dummy_packet_interval),
                                               CODE(isc_dpb_, gbak_attach),
                                               CODE(isc_dpb_, sql_role_name),
                                               CODE(isc_dpb_, set_page_buffers),
                                               CODE(isc_dpb_, working_directory),
                                               CODE(isc_dpb_, sql_dialect),
                                               CODE(isc_dpb_, set_db_readonly),
                                               CODE(isc_dpb_, set_db_sql_dialect),
                                               CODE(isc_dpb_, gfix_attach),
                                               CODE(isc_dpb_, gstat_attach),
                                               CODE(isc_dpb_, set_db_charset),
                                               CODE(isc_dpb_, gsec_attach),
                                               CODE(isc_dpb_, address_path),
                                               CODE(isc_dpb_, process_id),
                                               CODE(isc_dpb_, no_db_triggers),
                                               CODE(isc_dpb_, trusted_auth),
                                               CODE(isc_dpb_, process_name),
                                               CODE(isc_dpb_, trusted_role),
                                               CODE(isc_dpb_, org_filename),
                                               CODE(isc_dpb_, utf8_filename),
                                               CODE(isc_dpb_, ext_call_depth),
                                               CODE(isc_dpb_, auth_block),
                                               CODE(isc_dpb_, client_version),
                                               CODE(isc_dpb_, remote_protocol),
                                               CODE(isc_dpb_, host_name),
                                               CODE(isc_dpb_, os_user)};
    const TTableAgainstHeader result = CompareWithHeader(kDpbNames, header, "dpb", GenerateDPB, "=1");
    EXPECT_EQ(result.SameName, 67) << "codes 1 to 67 are the standard isc_dpb_ items";
    EXPECT_EQ(result.Sent, 30);
    EXPECT_STREQ(kDpbNames[82], "force");
}

TEST(ParameterTables, TpbItemsSentAreTheHeadersConstants) {
    ASSERT_EQ(kTpbNames.size(), 21u);
    EXPECT_EQ(std::set<std::string>(kTpbNames.begin(), kTpbNames.end()).size(), 21u) << "duplicate names";
    const std::map<int, std::string> header = {
        CODE(isc_tpb_, consistency),      CODE(isc_tpb_, concurrency),  CODE(isc_tpb_, shared),
        CODE(isc_tpb_, protected),        CODE(isc_tpb_, exclusive),    CODE(isc_tpb_, wait),
        CODE(isc_tpb_, nowait),           CODE(isc_tpb_, read),         CODE(isc_tpb_, write),
        CODE(isc_tpb_, lock_read),        CODE(isc_tpb_, lock_write),   CODE(isc_tpb_, verb_time),
        CODE(isc_tpb_, commit_time),      CODE(isc_tpb_, ignore_limbo), CODE(isc_tpb_, read_committed),
        CODE(isc_tpb_, autocommit),       CODE(isc_tpb_, rec_version),  CODE(isc_tpb_, no_rec_version),
        CODE(isc_tpb_, restart_requests), CODE(isc_tpb_, no_auto_undo), CODE(isc_tpb_, lock_timeout)};
    const TTableAgainstHeader result = CompareWithHeader(kTpbNames, header, "tpb", GenerateTPB, "=T");
    EXPECT_EQ(result.SameName, 20) << "codes 1 to 20 are the standard isc_tpb_ items";
    EXPECT_EQ(result.Sent, 16);
}

#undef CODE

// ---- the list that tells its owner

TEST(FbStrings, AsksBeforeAndTellsAfterEveryChange) {
    TFbStrings list;
    std::vector<std::string> seen;
    list.OnChanging = [&] { seen.push_back("changing"); };
    list.OnChange = [&] { seen.push_back("change"); };
    list.Add("a");
    list.Put(0, "b");
    list.Insert(0, "c");
    list.Delete(1);
    list.Assign({"x", "y"});
    list.SetText("p=1\r\nq=2\n");
    list.Clear();
    EXPECT_EQ(seen.size(), 14u);
    EXPECT_EQ(list.Count(), 0u);
}

TEST(FbStrings, ARefusedChangeChangesNothing) {
    TFbStrings list;
    list.Add("a");
    list.OnChanging = [] { throw Exception("refused"); };
    EXPECT_THROW(list.Add("b"), Exception);
    EXPECT_THROW(list.Assign({}), Exception);
    EXPECT_EQ(list.Lines(), std::vector<std::string>{"a"});
}

TEST(FbStrings, SetTextSplitsLines) {
    TFbStrings list;
    list.SetText("user_name=A\r\npassword=B\nlc_ctype=WIN1250");
    EXPECT_EQ(list.Lines(), (std::vector<std::string>{"user_name=A", "password=B", "lc_ctype=WIN1250"}));
    EXPECT_EQ(list.Text(), "user_name=A\npassword=B\nlc_ctype=WIN1250\n");
}

TEST(FbStrToInt, FrameworkRules) {
    EXPECT_EQ(FbStrToInt("250"), 250);
    EXPECT_EQ(FbStrToInt(" -12"), -12);
    EXPECT_EQ(FbStrToInt("+7"), 7);
    EXPECT_EQ(FbStrToInt("2147483647"), 2147483647);
    EXPECT_EQ(FbStrToInt("-2147483648"), -2147483647 - 1);
    for (const char* bad : {"", "x", "1x", "2147483648", "-", "1 2"})
        EXPECT_THROW(FbStrToInt(bad), Exception) << bad;
}

} // namespace
