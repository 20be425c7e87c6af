/* A stand-in client library for the binding tests: it exports the entry points a configuration
 * asks for and nothing else. Built in several variants (see CMakeLists.txt):
 *   STUB_GENERATION 5          - the required entry points only, no isc_rollback_retaining
 *   STUB_GENERATION 6          - with isc_rollback_retaining and the generation-6 group
 *   STUB_CLIENT_VERSION        - with isc_get_client_version, reporting STUB_MAJOR.STUB_MINOR
 *   STUB_OMIT_PREPARE2         - without the last required entry point, isc_prepare_transaction2
 *   STUB_OMIT_PORTABLE_INTEGER - without the last generation-6 entry point
 * The functions take no arguments the tests rely on; each returns a mark of its own so a test can
 * tell that the call went through. */

#define STUB_EXPORT __attribute__((visibility("default")))
#define STUB(name, mark)                                                                                     \
    STUB_EXPORT long name(void) {                                                                            \
        return mark;                                                                                         \
    }

STUB(BLOB_get, 1)
STUB(BLOB_put, 2)
STUB(isc_sqlcode, -999)
STUB(isc_sql_interprete, 4)
STUB(isc_interprete, 0)
STUB(isc_vax_integer, 6)
STUB(isc_blob_info, 7)
STUB(isc_open_blob2, 8)
STUB(isc_close_blob, 9)
STUB(isc_get_segment, 10)
STUB(isc_put_segment, 11)
STUB(isc_create_blob2, 12)
STUB(isc_decode_date, 13)
STUB(isc_encode_date, 14)
STUB(isc_dsql_free_statement, 15)
STUB(isc_dsql_execute2, 16)
STUB(isc_dsql_execute, 17)
STUB(isc_dsql_set_cursor_name, 18)
STUB(isc_dsql_fetch, 19)
STUB(isc_dsql_sql_info, 20)
STUB(isc_dsql_alloc_statement2, 21)
STUB(isc_dsql_prepare, 22)
STUB(isc_dsql_describe_bind, 23)
STUB(isc_dsql_describe, 24)
STUB(isc_dsql_execute_immediate, 25)
STUB(isc_dsql_exec_immed2, 26)
STUB(isc_drop_database, 27)
STUB(isc_detach_database, 28)
STUB(isc_attach_database, 29)
STUB(isc_database_info, 30)
STUB(isc_start_multiple, 31)
STUB(isc_commit_transaction, 32)
STUB(isc_commit_retaining, 33)
STUB(isc_rollback_transaction, 34)
STUB(isc_cancel_events, 35)
STUB(isc_que_events, 36)
STUB(isc_event_counts, 37)
STUB(isc_event_block, 38)
STUB(isc_free, 39)
STUB(isc_array_lookup_bounds, 40)
STUB(isc_array_get_slice, 41)
STUB(isc_array_put_slice, 42)
STUB(isc_wait_for_event, 43)
STUB(isc_transaction_info, 44)
STUB(isc_prepare_transaction, 45)
#ifndef STUB_OMIT_PREPARE2
STUB(isc_prepare_transaction2, 46)
#endif

#if STUB_GENERATION >= 6
STUB(isc_rollback_retaining, 100)
STUB(isc_service_attach, 101)
STUB(isc_service_detach, 102)
STUB(isc_service_query, 103)
STUB(isc_service_start, 104)
STUB(isc_decode_sql_date, 105)
STUB(isc_decode_sql_time, 106)
STUB(isc_decode_timestamp, 107)
STUB(isc_encode_sql_date, 108)
STUB(isc_encode_sql_time, 109)
STUB(isc_encode_timestamp, 110)
#ifndef STUB_OMIT_PORTABLE_INTEGER
STUB(isc_portable_integer, 111)
#endif
#endif

#ifdef STUB_CLIENT_VERSION
STUB_EXPORT void isc_get_client_version(char* buffer) {
    buffer[0] = 0;
}
STUB_EXPORT int isc_get_client_major_version(void) {
    return STUB_MAJOR;
}
STUB_EXPORT int isc_get_client_minor_version(void) {
    return STUB_MINOR;
}
#endif
