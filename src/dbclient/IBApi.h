#pragma once
// The client library's entry points as it publishes them (Firebird's ibase.h; the
// InterBase-only entry points as InterBase's own header gives them). Types are sized as
// that header sizes them on each platform: ISC_STATUS is pointer-sized, ISC_LONG is 32
// bits everywhere, and the API handles are 32-bit integers on 64-bit targets but
// pointers on 32-bit ones. On 32-bit Windows the entry points are __stdcall, except the
// one taking a variable argument list, which is __cdecl; elsewhere there is one
// convention.
//
// Structures that the loader only passes through are declared, not defined.

#include <cstdint>
#include <tuple>

#if defined(_WIN32) && !defined(_WIN64)
#define FBU_IBAPI __stdcall
#define FBU_IBAPI_VARARG __cdecl
#else
#define FBU_IBAPI
#define FBU_IBAPI_VARARG
#endif

namespace fbu {

using ISC_STATUS = std::intptr_t;
#if defined(_LP64) || defined(__LP64__) || defined(__arch64__)
using ISC_LONG = int;
using ISC_ULONG = unsigned int;
#else
using ISC_LONG = long; // 32 bits on Windows, also on x64
using ISC_ULONG = unsigned long;
#endif
#if defined(_LP64) || defined(__LP64__) || defined(__arch64__) || defined(_WIN64)
using FB_API_HANDLE = unsigned int;
#else
using FB_API_HANDLE = void*;
#endif
using ISC_SHORT = short;
using ISC_USHORT = unsigned short;
using ISC_UCHAR = unsigned char;
using ISC_SCHAR = char;
using ISC_DATE = int;
using ISC_TIME = unsigned int;

using isc_db_handle = FB_API_HANDLE;
using isc_blob_handle = FB_API_HANDLE;
using isc_tr_handle = FB_API_HANDLE;
using isc_stmt_handle = FB_API_HANDLE;
using isc_svc_handle = FB_API_HANDLE;
using isc_resv_handle = ISC_LONG;

struct ISC_QUAD {
  ISC_LONG gds_quad_high;
  ISC_ULONG gds_quad_low;
};
struct ISC_TIMESTAMP {
  ISC_DATE timestamp_date;
  ISC_TIME timestamp_time;
};

struct ISC_ARRAY_DESC;
struct ISC_ARRAY_DESC_V2;
struct ISC_BLOB_DESC;
struct ISC_BLOB_DESC_V2;
struct XSQLDA;
struct XSQLVAR;
struct USER_SEC_DATA;
struct BSTREAM;
struct IB_XMLDA;
using FB_BLOB_STREAM = BSTREAM*;
using ISC_EVENT_CALLBACK = void (*)(void*, ISC_USHORT, const ISC_UCHAR*);

// isc_event_block reads at most this many event names per block.
inline constexpr int kMaxEventNames = 15;

} // namespace fbu

// Every entry point the loader binds, in the order of the library object's slots,
// followed by the three XML fetch entry points of "ibxml.dll":
//   X(kind, name, result type, parameters, arguments)
// kind: Fwd (forwarded by the library interface), Bound (bound, not forwarded), VarArg
// (forwarded, variable argument list; its arguments are passed on by hand) or Xml
// (process-wide XML fetch slot).
// clang-format off
#define FBU_IB_ENTRY_POINTS(X) \
  X(Fwd, BLOB_get, int, (FB_BLOB_STREAM stream), (stream)) \
  X(Fwd, BLOB_put, int, (ISC_SCHAR c, FB_BLOB_STREAM stream), (c, stream)) \
  X(Fwd, isc_sqlcode, ISC_LONG, (const ISC_STATUS* status), (status)) \
  X(Fwd, isc_sql_interprete, void, (short sqlcode, ISC_SCHAR* buffer, short length), (sqlcode, buffer, length)) \
  X(Fwd, isc_interprete, ISC_LONG, (ISC_SCHAR* buffer, ISC_STATUS** status), (buffer, status)) \
  X(Fwd, isc_vax_integer, ISC_LONG, (const ISC_SCHAR* bytes, short length), (bytes, length)) \
  X(Fwd, isc_blob_info, ISC_STATUS, (ISC_STATUS* status, isc_blob_handle* blob, short itemLength, const ISC_SCHAR* items, short bufferLength, ISC_SCHAR* buffer), (status, blob, itemLength, items, bufferLength, buffer)) \
  X(Fwd, isc_open_blob2, ISC_STATUS, (ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, isc_blob_handle* blob, ISC_QUAD* id, ISC_USHORT bpbLength, const ISC_UCHAR* bpb), (status, db, tr, blob, id, bpbLength, bpb)) \
  X(Fwd, isc_close_blob, ISC_STATUS, (ISC_STATUS* status, isc_blob_handle* blob), (status, blob)) \
  X(Fwd, isc_get_segment, ISC_STATUS, (ISC_STATUS* status, isc_blob_handle* blob, unsigned short* actualLength, unsigned short bufferLength, ISC_SCHAR* buffer), (status, blob, actualLength, bufferLength, buffer)) \
  X(Fwd, isc_put_segment, ISC_STATUS, (ISC_STATUS* status, isc_blob_handle* blob, unsigned short length, const ISC_SCHAR* buffer), (status, blob, length, buffer)) \
  X(Fwd, isc_create_blob2, ISC_STATUS, (ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, isc_blob_handle* blob, ISC_QUAD* id, short bpbLength, const ISC_SCHAR* bpb), (status, db, tr, blob, id, bpbLength, bpb)) \
  X(Bound, isc_array_gen_sdl, ISC_STATUS, (ISC_STATUS* status, const ISC_ARRAY_DESC* desc, ISC_SHORT* sdlBufferLength, ISC_UCHAR* sdlBuffer, ISC_SHORT* sdlLength), (status, desc, sdlBufferLength, sdlBuffer, sdlLength)) \
  X(Fwd, isc_array_get_slice, ISC_STATUS, (ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, ISC_QUAD* id, const ISC_ARRAY_DESC* desc, void* slice, ISC_LONG* sliceLength), (status, db, tr, id, desc, slice, sliceLength)) \
  X(Fwd, isc_array_lookup_bounds, ISC_STATUS, (ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, const ISC_SCHAR* table, const ISC_SCHAR* column, ISC_ARRAY_DESC* desc), (status, db, tr, table, column, desc)) \
  X(Fwd, isc_array_lookup_desc, ISC_STATUS, (ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, const ISC_SCHAR* table, const ISC_SCHAR* column, ISC_ARRAY_DESC* desc), (status, db, tr, table, column, desc)) \
  X(Fwd, isc_array_set_desc, ISC_STATUS, (ISC_STATUS* status, const ISC_SCHAR* table, const ISC_SCHAR* column, const short* sqlDtype, const short* sqlLength, const short* dimensions, ISC_ARRAY_DESC* desc), (status, table, column, sqlDtype, sqlLength, dimensions, desc)) \
  X(Fwd, isc_array_put_slice, ISC_STATUS, (ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, ISC_QUAD* id, const ISC_ARRAY_DESC* desc, void* slice, ISC_LONG* sliceLength), (status, db, tr, id, desc, slice, sliceLength)) \
  X(Fwd, isc_blob_default_desc, void, (ISC_BLOB_DESC* desc, const ISC_UCHAR* table, const ISC_UCHAR* column), (desc, table, column)) \
  X(Fwd, isc_blob_gen_bpb, ISC_STATUS, (ISC_STATUS* status, const ISC_BLOB_DESC* to, const ISC_BLOB_DESC* from, unsigned short bpbBufferLength, ISC_UCHAR* bpbBuffer, unsigned short* bpbLength), (status, to, from, bpbBufferLength, bpbBuffer, bpbLength)) \
  X(Fwd, isc_blob_lookup_desc, ISC_STATUS, (ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, const ISC_UCHAR* table, const ISC_UCHAR* column, ISC_BLOB_DESC* desc, ISC_UCHAR* global), (status, db, tr, table, column, desc, global)) \
  X(Fwd, isc_blob_set_desc, ISC_STATUS, (ISC_STATUS* status, const ISC_UCHAR* table, const ISC_UCHAR* column, short subtype, short charset, short segmentSize, ISC_BLOB_DESC* desc), (status, table, column, subtype, charset, segmentSize, desc)) \
  X(Fwd, isc_cancel_blob, ISC_STATUS, (ISC_STATUS* status, isc_blob_handle* blob), (status, blob)) \
  X(Fwd, isc_service_attach, ISC_STATUS, (ISC_STATUS* status, unsigned short nameLength, const ISC_SCHAR* name, isc_svc_handle* svc, unsigned short spbLength, const ISC_SCHAR* spb), (status, nameLength, name, svc, spbLength, spb)) \
  X(Fwd, isc_service_detach, ISC_STATUS, (ISC_STATUS* status, isc_svc_handle* svc), (status, svc)) \
  X(Fwd, isc_service_query, ISC_STATUS, (ISC_STATUS* status, isc_svc_handle* svc, isc_resv_handle* reserved, unsigned short sendLength, const ISC_SCHAR* send, unsigned short requestLength, const ISC_SCHAR* request, unsigned short bufferLength, ISC_SCHAR* buffer), (status, svc, reserved, sendLength, send, requestLength, request, bufferLength, buffer)) \
  X(Fwd, isc_service_start, ISC_STATUS, (ISC_STATUS* status, isc_svc_handle* svc, isc_resv_handle* reserved, unsigned short spbLength, const ISC_SCHAR* spb), (status, svc, reserved, spbLength, spb)) \
  X(Fwd, isc_decode_date, void, (const ISC_QUAD* date, void* times), (date, times)) \
  X(Fwd, isc_decode_sql_date, void, (const ISC_DATE* date, void* times), (date, times)) \
  X(Fwd, isc_decode_sql_time, void, (const ISC_TIME* time, void* times), (time, times)) \
  X(Fwd, isc_decode_timestamp, void, (const ISC_TIMESTAMP* timestamp, void* times), (timestamp, times)) \
  X(Fwd, isc_encode_date, void, (const void* times, ISC_QUAD* date), (times, date)) \
  X(Fwd, isc_encode_sql_date, void, (const void* times, ISC_DATE* date), (times, date)) \
  X(Fwd, isc_encode_sql_time, void, (const void* times, ISC_TIME* time), (times, time)) \
  X(Fwd, isc_encode_timestamp, void, (const void* times, ISC_TIMESTAMP* timestamp), (times, timestamp)) \
  X(Fwd, isc_dsql_free_statement, ISC_STATUS, (ISC_STATUS* status, isc_stmt_handle* stmt, unsigned short option), (status, stmt, option)) \
  X(Fwd, isc_dsql_execute2, ISC_STATUS, (ISC_STATUS* status, isc_tr_handle* tr, isc_stmt_handle* stmt, unsigned short dialect, const XSQLDA* in, const XSQLDA* out), (status, tr, stmt, dialect, in, out)) \
  X(Fwd, isc_dsql_execute, ISC_STATUS, (ISC_STATUS* status, isc_tr_handle* tr, isc_stmt_handle* stmt, unsigned short dialect, const XSQLDA* in), (status, tr, stmt, dialect, in)) \
  X(Fwd, isc_dsql_set_cursor_name, ISC_STATUS, (ISC_STATUS* status, isc_stmt_handle* stmt, const ISC_SCHAR* cursor, unsigned short type), (status, stmt, cursor, type)) \
  X(Fwd, isc_dsql_fetch, ISC_STATUS, (ISC_STATUS* status, isc_stmt_handle* stmt, unsigned short dialect, const XSQLDA* out), (status, stmt, dialect, out)) \
  X(Fwd, isc_dsql_sql_info, ISC_STATUS, (ISC_STATUS* status, isc_stmt_handle* stmt, short itemLength, const ISC_SCHAR* items, short bufferLength, ISC_SCHAR* buffer), (status, stmt, itemLength, items, bufferLength, buffer)) \
  X(Fwd, isc_dsql_alloc_statement2, ISC_STATUS, (ISC_STATUS* status, isc_db_handle* db, isc_stmt_handle* stmt), (status, db, stmt)) \
  X(Fwd, isc_dsql_prepare, ISC_STATUS, (ISC_STATUS* status, isc_tr_handle* tr, isc_stmt_handle* stmt, unsigned short length, const ISC_SCHAR* sql, unsigned short dialect, XSQLDA* out), (status, tr, stmt, length, sql, dialect, out)) \
  X(Fwd, isc_dsql_describe_bind, ISC_STATUS, (ISC_STATUS* status, isc_stmt_handle* stmt, unsigned short dialect, XSQLDA* in), (status, stmt, dialect, in)) \
  X(Fwd, isc_dsql_describe, ISC_STATUS, (ISC_STATUS* status, isc_stmt_handle* stmt, unsigned short dialect, XSQLDA* out), (status, stmt, dialect, out)) \
  X(Fwd, isc_dsql_execute_immediate, ISC_STATUS, (ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, unsigned short length, const ISC_SCHAR* sql, unsigned short dialect, const XSQLDA* in), (status, db, tr, length, sql, dialect, in)) \
  X(Fwd, isc_drop_database, ISC_STATUS, (ISC_STATUS* status, isc_db_handle* db), (status, db)) \
  X(Fwd, isc_detach_database, ISC_STATUS, (ISC_STATUS* status, isc_db_handle* db), (status, db)) \
  X(Fwd, isc_attach_database, ISC_STATUS, (ISC_STATUS* status, short nameLength, const ISC_SCHAR* name, isc_db_handle* db, short dpbLength, const ISC_SCHAR* dpb), (status, nameLength, name, db, dpbLength, dpb)) \
  X(Fwd, isc_database_info, ISC_STATUS, (ISC_STATUS* status, isc_db_handle* db, short itemLength, const ISC_SCHAR* items, short bufferLength, ISC_SCHAR* buffer), (status, db, itemLength, items, bufferLength, buffer)) \
  X(Fwd, isc_start_multiple, ISC_STATUS, (ISC_STATUS* status, isc_tr_handle* tr, short count, void* teb), (status, tr, count, teb)) \
  X(Fwd, isc_commit_transaction, ISC_STATUS, (ISC_STATUS* status, isc_tr_handle* tr), (status, tr)) \
  X(Fwd, isc_commit_retaining, ISC_STATUS, (ISC_STATUS* status, isc_tr_handle* tr), (status, tr)) \
  X(Fwd, isc_rollback_transaction, ISC_STATUS, (ISC_STATUS* status, isc_tr_handle* tr), (status, tr)) \
  X(Fwd, isc_rollback_retaining, ISC_STATUS, (ISC_STATUS* status, isc_tr_handle* tr), (status, tr)) \
  X(Fwd, isc_cancel_events, ISC_STATUS, (ISC_STATUS* status, isc_db_handle* db, ISC_LONG* eventId), (status, db, eventId)) \
  X(Fwd, isc_que_events, ISC_STATUS, (ISC_STATUS* status, isc_db_handle* db, ISC_LONG* eventId, short length, const ISC_UCHAR* events, ISC_EVENT_CALLBACK callback, void* argument), (status, db, eventId, length, events, callback, argument)) \
  X(Fwd, isc_event_counts, void, (ISC_ULONG* counts, short length, ISC_UCHAR* eventBuffer, const ISC_UCHAR* resultBuffer), (counts, length, eventBuffer, resultBuffer)) \
  X(VarArg, isc_event_block, ISC_LONG, (ISC_UCHAR** eventBuffer, ISC_UCHAR** resultBuffer, ISC_USHORT count, ...), ()) \
  X(Fwd, isc_free, ISC_LONG, (ISC_SCHAR* block), (block)) \
  X(Fwd, isc_add_user, ISC_STATUS, (ISC_STATUS* status, const USER_SEC_DATA* user), (status, user)) \
  X(Fwd, isc_delete_user, ISC_STATUS, (ISC_STATUS* status, const USER_SEC_DATA* user), (status, user)) \
  X(Fwd, isc_modify_user, ISC_STATUS, (ISC_STATUS* status, const USER_SEC_DATA* user), (status, user)) \
  X(Fwd, isc_prepare_transaction, ISC_STATUS, (ISC_STATUS* status, isc_tr_handle* tr), (status, tr)) \
  X(Fwd, isc_prepare_transaction2, ISC_STATUS, (ISC_STATUS* status, isc_tr_handle* tr, ISC_USHORT length, const ISC_UCHAR* message), (status, tr, length, message)) \
  X(Fwd, isc_get_client_version, void, (ISC_SCHAR* buffer), (buffer)) \
  X(Fwd, isc_get_client_major_version, int, (), ()) \
  X(Fwd, isc_get_client_minor_version, int, (), ()) \
  X(Fwd, isc_array_gen_sdl2, ISC_STATUS, (ISC_STATUS* status, const ISC_ARRAY_DESC_V2* desc, ISC_SHORT* sdlBufferLength, ISC_UCHAR* sdlBuffer, ISC_SHORT* sdlLength), (status, desc, sdlBufferLength, sdlBuffer, sdlLength)) \
  X(Fwd, isc_array_get_slice2, ISC_STATUS, (ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, ISC_QUAD* id, const ISC_ARRAY_DESC_V2* desc, void* slice, ISC_LONG* sliceLength), (status, db, tr, id, desc, slice, sliceLength)) \
  X(Fwd, isc_array_lookup_bounds2, ISC_STATUS, (ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, const ISC_SCHAR* table, const ISC_SCHAR* column, ISC_ARRAY_DESC_V2* desc), (status, db, tr, table, column, desc)) \
  X(Fwd, isc_array_lookup_desc2, ISC_STATUS, (ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, const ISC_SCHAR* table, const ISC_SCHAR* column, ISC_ARRAY_DESC_V2* desc), (status, db, tr, table, column, desc)) \
  X(Fwd, isc_array_set_desc2, ISC_STATUS, (ISC_STATUS* status, const ISC_SCHAR* table, const ISC_SCHAR* column, const short* sqlDtype, const short* sqlLength, const short* dimensions, ISC_ARRAY_DESC_V2* desc), (status, table, column, sqlDtype, sqlLength, dimensions, desc)) \
  X(Fwd, isc_array_put_slice2, ISC_STATUS, (ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, ISC_QUAD* id, const ISC_ARRAY_DESC_V2* desc, void* slice, ISC_LONG* sliceLength), (status, db, tr, id, desc, slice, sliceLength)) \
  X(Fwd, isc_blob_default_desc2, void, (ISC_BLOB_DESC_V2* desc, const ISC_UCHAR* table, const ISC_UCHAR* column), (desc, table, column)) \
  X(Fwd, isc_blob_gen_bpb2, ISC_STATUS, (ISC_STATUS* status, const ISC_BLOB_DESC_V2* to, const ISC_BLOB_DESC_V2* from, unsigned short bpbBufferLength, ISC_UCHAR* bpbBuffer, unsigned short* bpbLength), (status, to, from, bpbBufferLength, bpbBuffer, bpbLength)) \
  X(Fwd, isc_blob_lookup_desc2, ISC_STATUS, (ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, const ISC_UCHAR* table, const ISC_UCHAR* column, ISC_BLOB_DESC_V2* desc, ISC_UCHAR* global), (status, db, tr, table, column, desc, global)) \
  X(Fwd, isc_blob_set_desc2, ISC_STATUS, (ISC_STATUS* status, const ISC_UCHAR* table, const ISC_UCHAR* column, short subtype, short charset, short segmentSize, ISC_BLOB_DESC_V2* desc), (status, table, column, subtype, charset, segmentSize, desc)) \
  X(Fwd, isc_release_savepoint, ISC_STATUS, (ISC_STATUS* status, isc_tr_handle* tr, ISC_SCHAR* name), (status, tr, name)) \
  X(Fwd, isc_rollback_savepoint, ISC_STATUS, (ISC_STATUS* status, isc_tr_handle* tr, ISC_SCHAR* name, ISC_USHORT option), (status, tr, name, option)) \
  X(Fwd, isc_start_savepoint, ISC_STATUS, (ISC_STATUS* status, isc_tr_handle* tr, ISC_SCHAR* name), (status, tr, name)) \
  X(Fwd, isc_transaction_info, ISC_STATUS, (ISC_STATUS* status, isc_tr_handle* tr, short itemLength, const ISC_SCHAR* items, short bufferLength, ISC_SCHAR* buffer), (status, tr, itemLength, items, bufferLength, buffer)) \
  X(Fwd, isc_dsql_batch_execute_immed, ISC_STATUS, (ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, ISC_USHORT dialect, ISC_ULONG count, ISC_SCHAR** statements, ISC_ULONG* rowsAffected), (status, db, tr, dialect, count, statements, rowsAffected)) \
  X(Fwd, isc_dsql_batch_execute, ISC_STATUS, (ISC_STATUS* status, isc_tr_handle* tr, isc_stmt_handle* stmt, ISC_USHORT dialect, XSQLDA* in, ISC_USHORT rows, XSQLVAR** batch, ISC_ULONG* rowsAffected), (status, tr, stmt, dialect, in, rows, batch, rowsAffected)) \
  X(Xml, isc_dsql_xml_fetch, int, (ISC_STATUS* status, isc_stmt_handle* stmt, ISC_USHORT dialect, XSQLDA* out, IB_XMLDA* xml), (status, stmt, dialect, out, xml)) \
  X(Xml, isc_dsql_xml_fetch_all, int, (ISC_STATUS* status, isc_stmt_handle* stmt, ISC_USHORT dialect, XSQLDA* out, IB_XMLDA* xml), (status, stmt, dialect, out, xml)) \
  X(Xml, isc_dsql_xml_buffer_fetch, int, (ISC_STATUS* status, isc_stmt_handle* stmt, ISC_SCHAR* buffer, int bufferSize, ISC_USHORT dialect, XSQLDA* out, ISC_SCHAR* nullMarker), (status, stmt, buffer, bufferSize, dialect, out, nullMarker))
// clang-format on

#define FBU_IB_CONVENTION_Fwd FBU_IBAPI
#define FBU_IB_CONVENTION_Bound FBU_IBAPI
#define FBU_IB_CONVENTION_Xml FBU_IBAPI
#define FBU_IB_CONVENTION_VarArg FBU_IBAPI_VARARG

namespace fbu {

enum class IBEntry : std::uint8_t {
#define FBU_IB_ENUM(kind, name, R, params, args) name,
  FBU_IB_ENTRY_POINTS(FBU_IB_ENUM)
#undef FBU_IB_ENUM
};

inline constexpr std::size_t kIBEntryCount = static_cast<std::size_t>(IBEntry::isc_dsql_xml_buffer_fetch) + 1;
// The library object's slots are the entries before the XML fetch ones.
inline constexpr std::size_t kIBSlotCount = static_cast<std::size_t>(IBEntry::isc_dsql_xml_fetch);
inline constexpr std::size_t kIBXmlSlotCount = kIBEntryCount - kIBSlotCount;
static_assert(kIBSlotCount == 84 && kIBXmlSlotCount == 3);

constexpr std::size_t Index(IBEntry e) noexcept
{
  return static_cast<std::size_t>(e);
}

// The exported name of an entry point, as handed to the symbol lookup.
inline constexpr const char* kIBEntryNames[kIBEntryCount] = {
#define FBU_IB_NAME(kind, name, R, params, args) #name,
    FBU_IB_ENTRY_POINTS(FBU_IB_NAME)
#undef FBU_IB_NAME
};

constexpr const char* EntryName(IBEntry e) noexcept
{
  return kIBEntryNames[Index(e)];
}

// The pointer type of each entry point: IBEntryFn<IBEntry::isc_attach_database>.
template <IBEntry E> struct IBEntryType;
#define FBU_IB_TYPE(kind, name, R, params, args)                                                                       \
  template <> struct IBEntryType<IBEntry::name> {                                                                      \
    using type = R(FBU_IB_CONVENTION_##kind*) params;                                                                  \
  };
FBU_IB_ENTRY_POINTS(FBU_IB_TYPE)
#undef FBU_IB_TYPE
template <IBEntry E> using IBEntryFn = typename IBEntryType<E>::type;

// Any entry point, as a slot stores it; converted back to its own type before a call.
using IBAnyFn = void (*)();

// Result and parameter types of an entry-point pointer type.
template <class F> struct IBFnTraits;
template <class R, class... A> struct IBFnTraits<R(FBU_IBAPI*)(A...)> {
  using Result = R;
  using Args = std::tuple<A...>;
  static constexpr bool variadic = false;
};
#if defined(_WIN32) && !defined(_WIN64)
template <class R, class... A> struct IBFnTraits<R(FBU_IBAPI_VARARG*)(A..., ...)> {
#else
template <class R, class... A> struct IBFnTraits<R (*)(A..., ...)> {
#endif
  using Result = R;
  using Args = std::tuple<A...>;
  static constexpr bool variadic = true;
};

} // namespace fbu
