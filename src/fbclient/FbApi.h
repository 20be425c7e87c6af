#pragma once
// The one internal header of the client access layer that shows the Firebird client interface
// (ibase.h): the table of entry points filled by dlsym, the library interface every component calls
// through, and the calling thread's status vector. Upper layers include the public headers only.

#include "fbclient/FbLibrary.h"
#include "platform/DynamicLibrary.h"

#include <ibase.h>

#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>

static_assert(std::is_same_v<TFbHandle, FB_API_HANDLE>, "TFbHandle must be the client's handle type");
static_assert(std::is_same_v<TFbStatus, ISC_STATUS>, "TFbStatus must be the client's status type");

// The InterBase batch calls are not in Firebird's ibase.h; their published InterBase signatures.
using FbFn_isc_dsql_batch_execute_immed = ISC_STATUS (*)(ISC_STATUS*, isc_db_handle*, isc_tr_handle*,
                                                         unsigned short, unsigned long, char**);
using FbFn_isc_dsql_batch_execute = ISC_STATUS (*)(ISC_STATUS*, isc_tr_handle*, isc_stmt_handle*,
                                                   unsigned short, XSQLDA*, unsigned short, XSQLVAR**,
                                                   ISC_USHORT*);

// The entry points bound on every load, in binding order.
#define ZELWAN_FB_REQUIRED(X)                                                                                \
    X(BLOB_get)                                                                                              \
    X(BLOB_put) X(isc_sqlcode) X(isc_sql_interprete) X(isc_interprete) X(isc_vax_integer) X(isc_blob_info)   \
        X(isc_open_blob2) X(isc_close_blob) X(isc_get_segment) X(isc_put_segment) X(isc_create_blob2)        \
            X(isc_decode_date) X(isc_encode_date) X(isc_dsql_free_statement) X(isc_dsql_execute2)            \
                X(isc_dsql_execute) X(isc_dsql_set_cursor_name) X(isc_dsql_fetch) X(isc_dsql_sql_info)       \
                    X(isc_dsql_alloc_statement2) X(isc_dsql_prepare) X(isc_dsql_describe_bind)               \
                        X(isc_dsql_describe) X(isc_dsql_execute_immediate) X(isc_dsql_exec_immed2)           \
                            X(isc_drop_database) X(isc_detach_database) X(isc_attach_database)               \
                                X(isc_database_info) X(isc_start_multiple) X(isc_commit_transaction)         \
                                    X(isc_commit_retaining) X(isc_rollback_transaction) X(isc_cancel_events) \
                                        X(isc_que_events) X(isc_event_counts) X(isc_event_block) X(isc_free) \
                                            X(isc_array_lookup_bounds) X(isc_array_get_slice)                \
                                                X(isc_array_put_slice) X(isc_wait_for_event)                 \
                                                    X(isc_transaction_info) X(isc_prepare_transaction)       \
                                                        X(isc_prepare_transaction2)

// Required once isc_rollback_retaining is present: the generation-6 client.
#define ZELWAN_FB_GENERATION6(X)                                                                             \
    X(isc_service_attach)                                                                                    \
    X(isc_service_detach) X(isc_service_query) X(isc_service_start) X(isc_decode_sql_date)                   \
        X(isc_decode_sql_time) X(isc_decode_timestamp) X(isc_encode_sql_date) X(isc_encode_sql_time)         \
            X(isc_encode_timestamp) X(isc_portable_integer)

// Required once isc_get_client_version is present: a client that reports its own version.
#define ZELWAN_FB_CLIENT_VERSION(X) X(isc_get_client_major_version) X(isc_get_client_minor_version)

// Looked up without being required.
#define ZELWAN_FB_PROBED(X) X(isc_rollback_retaining) X(isc_get_client_version)
#define ZELWAN_FB_BATCH(X) X(isc_dsql_batch_execute_immed) X(isc_dsql_batch_execute)

#define ZELWAN_FB_ALL(X)                                                                                     \
    ZELWAN_FB_REQUIRED(X)                                                                                    \
    ZELWAN_FB_GENERATION6(X) ZELWAN_FB_CLIENT_VERSION(X) ZELWAN_FB_PROBED(X) ZELWAN_FB_BATCH(X)

// The pointer type of each entry point is taken from its declaration in ibase.h, so a call through
// the table is checked against the published argument list. isc_interprete is deprecated there.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#define ZELWAN_FB_TYPE(name) using FbFn_##name = decltype(&::name);
ZELWAN_FB_REQUIRED(ZELWAN_FB_TYPE)
ZELWAN_FB_GENERATION6(ZELWAN_FB_TYPE)
ZELWAN_FB_CLIENT_VERSION(ZELWAN_FB_TYPE)
ZELWAN_FB_PROBED(ZELWAN_FB_TYPE)
#undef ZELWAN_FB_TYPE
#pragma GCC diagnostic pop

// One entry pointer per client function, "F" plus its name; null when it was not bound.
struct TFbEntryPoints {
#define ZELWAN_FB_FIELD(name) FbFn_##name F##name = nullptr;
    ZELWAN_FB_ALL(ZELWAN_FB_FIELD)
#undef ZELWAN_FB_FIELD
};

// The client library as the components see it. Each client function is a method under its
// published name: it calls the bound entry point with the arguments unchanged and returns its
// result; when the entry point is not bound it raises "Can't find procedure %s in %s".
class IIBClientLibrary {
public:
    virtual ~IIBClientLibrary() = default;

    // The name the library was created for (the registry compares it exactly).
    virtual const std::string& GetLibName() const = 0;
    // The file given to the loader, which messages name.
    virtual const std::string& FileName() const = 0;
    virtual int ClientVersion() const = 0;
    virtual int ClientMinorVersion() const = 0;
    virtual const TFbEntryPoints& EntryPoints() const = 0;

#define ZELWAN_FB_METHOD(name)                                                                               \
    template <class... TArgs> auto name(TArgs&&... args) const {                                             \
        const auto entry = EntryPoints().F##name;                                                            \
        if (!entry)                                                                                          \
            NotBound(#name);                                                                                 \
        return entry(std::forward<TArgs>(args)...);                                                          \
    }
    ZELWAN_FB_ALL(ZELWAN_FB_METHOD)
#undef ZELWAN_FB_METHOD

protected:
    // Raises the plain exception "Can't find procedure %s in %s" (function, library file).
    [[noreturn]] void NotBound(const char* function) const;
};

// The library loaded by file name. Creation loads it and binds the entry points, or fails
// as a whole; destruction unloads it.
class TIBClientLibrary final : public IIBClientLibrary {
public:
    explicit TIBClientLibrary(std::string name);
    ~TIBClientLibrary() override;
    TIBClientLibrary(const TIBClientLibrary&) = delete;
    TIBClientLibrary& operator=(const TIBClientLibrary&) = delete;

    const std::string& GetLibName() const override { return FLibraryName; }
    const std::string& FileName() const override { return FFileName; }
    int ClientVersion() const override { return FIBClientVersion; }
    int ClientMinorVersion() const override { return FIBClientMinorVersion; }
    const TFbEntryPoints& EntryPoints() const override { return FEntries; }

    // Unloads the module; a second call does nothing.
    void FreeIBLibrary() noexcept;

private:
    void LoadIBLibrary();
    // Looks a symbol up; a required one that is missing raises the system error of the lookup.
    void* Bind(const char* symbol, bool required);

    platform::TDynamicLibrary FModule;
    std::string FLibraryName;
    std::string FFileName;
    int FIBClientVersion = 0;
    int FIBClientMinorVersion = 0;
    TFbEntryPoints FEntries;
};

// The calling thread's status vector: ISC_STATUS_LENGTH entries, passed to every client call.
ISC_STATUS* StatusVector();

// Information answers (isc_database_info, isc_transaction_info, isc_dsql_sql_info): clusters of an
// item code, a two-byte length and the data, up to isc_info_end. Read here, within the answer.

// Reads a little-endian integer of `length` bytes from an information answer (isc_vax_integer).
inline long long VaxInteger(const std::string& bytes, std::size_t at, std::size_t length) {
    long long value = 0;
    for (std::size_t i = 0; i < length && at + i < bytes.size(); ++i)
        value |= static_cast<long long>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    // Sign-extend as isc_vax_integer does for its 1..4-byte values.
    if (length > 0 && length < 8 && (value >> (8 * length - 1)) & 1)
        value -= 1LL << (8 * length);
    return value;
}

// Finds the cluster of `item` in an information answer; the data goes to `data`.
inline bool FindInfoItem(const std::string& answer, unsigned char item, std::string& data) {
    std::size_t at = 0;
    while (at < answer.size()) {
        const auto code = static_cast<unsigned char>(answer[at]);
        if (code == isc_info_end || code == isc_info_truncated)
            return false;
        if (at + 3 > answer.size())
            return false;
        const auto length = static_cast<std::size_t>(VaxInteger(answer, at + 1, 2) & 0xFFFF);
        if (code == item) {
            data = answer.substr(at + 3, length);
            return true;
        }
        at += 3 + length;
    }
    return false;
}
