// Client library binding: loading by file name, the entry-point groups, the registry.

#include "FbTestHelpers.h"

#include <dlfcn.h>
#include <filesystem>

namespace {

TEST(ClientLibrary, DefaultNameMapsToLibfbclient) {
    EXPECT_EQ(FbLibraryFileName("gds32.dll"), "libfbclient.so.2");
    EXPECT_EQ(FbLibraryFileName("GDS32.DLL"), "GDS32.DLL") << "only the exact default name is mapped";
    EXPECT_EQ(FbLibraryFileName("/opt/x/libfbclient.so"), "/opt/x/libfbclient.so");
}

TEST(ClientLibrary, RealClientReportsItsOwnVersion) {
    const TIBClientLibraryRef library = GetClientLibrary(kDefaultLibraryName);
    EXPECT_EQ(library->GetLibName(), "gds32.dll");
    EXPECT_EQ(library->FileName(), "libfbclient.so.2");
    // isc_get_client_version is exported, so its major and minor version replace 6.0. Firebird 3's
    // client answers with the InterBase-compatible 6.3, not with 3.0.
    EXPECT_EQ(library->ClientVersion(), library->isc_get_client_major_version());
    EXPECT_EQ(library->ClientMinorVersion(), library->isc_get_client_minor_version());
    EXPECT_EQ(library->ClientVersion(), 6);
    EXPECT_EQ(library->ClientMinorVersion(), 3);
    const TFbEntryPoints& entries = library->EntryPoints();
    EXPECT_NE(entries.Fisc_rollback_retaining, nullptr);
    EXPECT_NE(entries.Fisc_portable_integer, nullptr);
    EXPECT_NE(entries.Fisc_get_client_major_version, nullptr);
    // The InterBase batch calls are looked up without being required; Firebird has none.
    EXPECT_EQ(entries.Fisc_dsql_batch_execute, nullptr);
    const std::string text = PlainMessage(
        [&] { library->isc_dsql_batch_execute_immed(nullptr, nullptr, nullptr, 0, 0ul, nullptr); });
    EXPECT_EQ(text, "Can't find procedure isc_dsql_batch_execute_immed in libfbclient.so.2");
    // A bound function is called with its arguments unchanged.
    const char bytes[] = {0x34, 0x12};
    EXPECT_EQ(library->isc_vax_integer(bytes, 2), 0x1234);
}

TEST(ClientLibrary, SameNameSharesOneObject) {
    const TIBClientLibraryRef first = GetClientLibrary(kDefaultLibraryName);
    const std::size_t count = ClientLibraryCount();
    EXPECT_EQ(GetClientLibrary(kDefaultLibraryName), first);
    EXPECT_EQ(ClientLibraryCount(), count);

    TFbDatabase a, b;
    EXPECT_EQ(&a.ClientLibrary(), &b.ClientLibrary());
    EXPECT_EQ(&a.ClientLibrary(), first.get());
    EXPECT_TRUE(a.ClientLibLoaded());
}

TEST(ClientLibrary, Generation5StubLeavesTheServiceGroupUnbound) {
    const TIBClientLibraryRef library = GetClientLibrary(ZELWAN_FBSTUB5);
    EXPECT_EQ(library->ClientVersion(), 5);
    EXPECT_EQ(library->ClientMinorVersion(), 0);
    const TFbEntryPoints& entries = library->EntryPoints();
    EXPECT_EQ(entries.Fisc_rollback_retaining, nullptr);
    EXPECT_EQ(entries.Fisc_service_attach, nullptr);
    EXPECT_EQ(entries.Fisc_decode_sql_date, nullptr);
    EXPECT_EQ(entries.Fisc_encode_timestamp, nullptr);
    EXPECT_EQ(entries.Fisc_portable_integer, nullptr);
    EXPECT_EQ(entries.Fisc_get_client_version, nullptr);
    EXPECT_NE(entries.Fisc_prepare_transaction2, nullptr);
    EXPECT_NE(entries.FBLOB_get, nullptr);

    const std::string name = ZELWAN_FBSTUB5;
    EXPECT_EQ(PlainMessage([&] { library->isc_rollback_retaining(nullptr, nullptr); }),
              "Can't find procedure isc_rollback_retaining in " + name);
    EXPECT_EQ(PlainMessage([&] { library->isc_service_attach(nullptr, 0, nullptr, nullptr, 0, nullptr); }),
              "Can't find procedure isc_service_attach in " + name);
    EXPECT_EQ(PlainMessage([&] {
                  ISC_DATE date{};
                  library->isc_decode_sql_date(&date, nullptr);
              }),
              "Can't find procedure isc_decode_sql_date in " + name);
    EXPECT_EQ(PlainMessage([&] { library->isc_portable_integer(nullptr, 0); }),
              "Can't find procedure isc_portable_integer in " + name);
    // A bound one goes through (the stub answers with its mark).
    EXPECT_EQ(library->isc_sqlcode(StatusVector()), -999);
}

TEST(ClientLibrary, StubWithClientVersionReportsIt) {
    const TIBClientLibraryRef library = GetClientLibrary(ZELWAN_FBSTUB6V);
    EXPECT_EQ(library->ClientVersion(), 7);
    EXPECT_EQ(library->ClientMinorVersion(), 5);
    EXPECT_NE(library->EntryPoints().Fisc_rollback_retaining, nullptr);
    EXPECT_NE(library->EntryPoints().Fisc_portable_integer, nullptr);
    EXPECT_EQ(library->EntryPoints().Fisc_dsql_batch_execute_immed, nullptr);
}

TEST(ClientLibrary, MissingLibraryFileGivesTheExactText) {
    const std::size_t count = ClientLibraryCount();
    const std::string name = "/nonexistent/libnone.so";
    EXPECT_EQ(PlainMessage([&] { GetClientLibrary(name); }), "Can't load library /nonexistent/libnone.so ");
    EXPECT_EQ(ClientLibraryCount(), count) << "nothing registered";
    EXPECT_EQ(PlainMessage([&] { GetClientLibrary(name); }), "Can't load library /nonexistent/libnone.so ")
        << "a second attempt loads again";
    // Letter case counts: another name, another file.
    EXPECT_EQ(PlainMessage([&] { GetClientLibrary("GDS32.DLL"); }), "Can't load library GDS32.DLL ");
}

TEST(ClientLibrary, MissingRequiredSymbolGivesTheSystemError) {
    const std::size_t count = ClientLibraryCount();
    try {
        GetClientLibrary(ZELWAN_FBSTUB_NOPREPARE2);
        ADD_FAILURE() << "loaded";
    } catch (const EOSError& e) {
        EXPECT_EQ(e.ErrorCode(), kSymbolNotFoundCode);
        EXPECT_EQ(e.Message(), std::string("System Error.  Code: 127.\r\n") + ZELWAN_FBSTUB_NOPREPARE2 +
                                   ": undefined symbol: isc_prepare_transaction2");
    }
    EXPECT_EQ(ClientLibraryCount(), count);
}

TEST(ClientLibrary, MissingGeneration6SymbolGivesTheSystemError) {
    try {
        GetClientLibrary(ZELWAN_FBSTUB6_NOPORTABLE);
        ADD_FAILURE() << "loaded";
    } catch (const EOSError& e) {
        EXPECT_EQ(e.Message(), std::string("System Error.  Code: 127.\r\n") + ZELWAN_FBSTUB6_NOPORTABLE +
                                   ": undefined symbol: isc_portable_integer");
    }
}

TEST(ClientLibrary, NameDifferingInCaseLoadsASecondObject) {
    TTempDir dir;
    const std::string lower = dir / "libstub.so";
    const std::string upper = dir / "LIBSTUB.so";
    std::filesystem::copy_file(ZELWAN_FBSTUB5, lower);
    std::filesystem::copy_file(ZELWAN_FBSTUB5, upper);
    const std::size_t count = ClientLibraryCount();
    const TIBClientLibraryRef a = GetClientLibrary(lower);
    const TIBClientLibraryRef b = GetClientLibrary(upper);
    EXPECT_NE(a, b);
    EXPECT_EQ(ClientLibraryCount(), count + 2);
    EXPECT_EQ(GetClientLibrary(lower), a);
}

TEST(ClientLibrary, DestroyingTheObjectUnloadsTheModule) {
    TTempDir dir;
    const std::string file = dir / "libunload.so";
    std::filesystem::copy_file(ZELWAN_FBSTUB5, file);
    {
        TIBClientLibrary library(file);
        void* probe = ::dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD);
        EXPECT_NE(probe, nullptr);
        if (probe)
            ::dlclose(probe); // the probe's own reference
        library.FreeIBLibrary();
        EXPECT_EQ(::dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
        library.FreeIBLibrary(); // a second call does nothing
        EXPECT_EQ(library.EntryPoints().FBLOB_get, nullptr);
    }
    {
        { TIBClientLibrary library(file); }
        EXPECT_EQ(::dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
    }
}

TEST(DatabaseLibrary, ChangingTheNameDropsTheReference) {
    TFbDatabase db;
    EXPECT_EQ(db.LibraryName(), "gds32.dll");
    db.LoadLibrary();
    EXPECT_TRUE(db.ClientLibLoaded());
    db.SetLibraryName("gds32.dll");
    EXPECT_TRUE(db.ClientLibLoaded()) << "the same name changes nothing";
    db.SetLibraryName(ZELWAN_FBSTUB5);
    EXPECT_FALSE(db.ClientLibLoaded());
    EXPECT_EQ(db.ClientLibrary().ClientVersion(), 5) << "the ClientLibrary read binds the new one";
    EXPECT_TRUE(db.ClientLibLoaded());
}

TEST(DatabaseLibrary, MissingLibraryLeavesTheDatabaseDetached) {
    TFbDatabase db;
    db.SetLibraryName("/nonexistent/libnone.so");
    db.SetDBName("127.0.0.1:/x.fdb");
    EXPECT_EQ(PlainMessage([&] { db.Open(); }), "Can't load library /nonexistent/libnone.so ");
    EXPECT_FALSE(db.Connected());
    EXPECT_FALSE(db.ClientLibLoaded());
}

TEST(DatabaseLibrary, NameCannotChangeWhileAttached) {
    TTestDatabase file;
    TFbDatabase db;
    SetUpDatabase(db, file.TcpName());
    db.Open();
    const auto e = Raised([&] { db.SetLibraryName(ZELWAN_FBSTUB5); });
    EXPECT_EQ(e.Message(), "Cannot perform operation -- DB is currently open.");
    EXPECT_EQ(e.SQLCode(), feDatabaseOpen);
    EXPECT_EQ(db.LibraryName(), "gds32.dll");
    EXPECT_TRUE(db.ClientLibLoaded());
}

} // namespace
