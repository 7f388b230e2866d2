#pragma once
// The unit IBIntf: the object that finds, loads, binds and releases the Firebird client
// library for the database component layer, and the process-wide map in which the
// layer finds a library variant by name ("IBServer", "IBEmbedded").
//
// The client library is looked for only beside the single Firebird server installed on
// the machine (its 32-bit counterpart under "\Wow64\" when that DLL is an x64 image),
// never through the system's DLL search. Loading is lazy: the first TryIBLoad,
// CheckIBLoaded or GetIBClientVersion loads; a failed load is tried again from the start
// at the next check.
//
// A library that is not loaded has every slot set to a stub raising client error 1
// ("InterBase library %s not found in the path. ..."), so a forwarding call before a
// load, after a failed load or after FreeIBLibrary raises instead of jumping into a
// released DLL. No lock is held: one variant is used from one thread at a time.

#include <cstdint>
#include <memory>

#include "base/Exceptions.h"
#include "base/Startup.h"
#include "base/Text.h"
#include "dbclient/IBApi.h"
#include "dbclient/IBBinding.h"
#include "dbclient/IBModule.h"

namespace fbu {

// A client library variant. The forwarding operations pass their arguments unchanged to
// the bound entry point and return its result; they do not load the library: call
// CheckIBLoaded (or TryIBLoad with a true result) first.
class IGDSLibrary {
public:
  virtual ~IGDSLibrary() = default;

  // The DLL's file name.
  virtual Text LibraryName() = 0;
  // Locates, loads and binds. Raises when the DLL found cannot be classified, or when a
  // required entry point is missing (the variant is then left not loaded).
  virtual void LoadIBLibrary() = 0;
  // Releases the client and XML libraries and sets every slot back to its stub.
  virtual void FreeIBLibrary() = 0;
  // Loads when not loaded; true when loaded afterwards.
  virtual bool TryIBLoad() = 0;
  // As TryIBLoad, raising client error 1 with LibraryName when it gives false.
  virtual void CheckIBLoaded() = 0;
  // CheckIBLoaded, then the client version in ten-thousandths (7.1 is 71000).
  virtual std::int64_t GetIBClientVersion() = 0;

  virtual ISC_STATUS isc_attach_database(ISC_STATUS* status, short nameLength, const ISC_SCHAR* name, isc_db_handle* db,
                                         short dpbLength, const ISC_SCHAR* dpb) = 0;
  virtual ISC_STATUS isc_array_gen_sdl2(ISC_STATUS* status, const ISC_ARRAY_DESC_V2* desc, ISC_SHORT* sdlBufferLength,
                                        ISC_UCHAR* sdlBuffer, ISC_SHORT* sdlLength) = 0;
  virtual ISC_STATUS isc_array_get_slice(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, ISC_QUAD* id,
                                         const ISC_ARRAY_DESC* desc, void* slice, ISC_LONG* sliceLength) = 0;
  virtual ISC_STATUS isc_array_get_slice2(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, ISC_QUAD* id,
                                          const ISC_ARRAY_DESC_V2* desc, void* slice, ISC_LONG* sliceLength) = 0;
  virtual ISC_STATUS isc_array_lookup_bounds(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr,
                                             const ISC_SCHAR* table, const ISC_SCHAR* column, ISC_ARRAY_DESC* desc) = 0;
  virtual ISC_STATUS isc_array_lookup_bounds2(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr,
                                              const ISC_SCHAR* table, const ISC_SCHAR* column,
                                              ISC_ARRAY_DESC_V2* desc) = 0;
  virtual ISC_STATUS isc_array_lookup_desc(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr,
                                           const ISC_SCHAR* table, const ISC_SCHAR* column, ISC_ARRAY_DESC* desc) = 0;
  virtual ISC_STATUS isc_array_lookup_desc2(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr,
                                            const ISC_SCHAR* table, const ISC_SCHAR* column,
                                            ISC_ARRAY_DESC_V2* desc) = 0;
  virtual ISC_STATUS isc_array_set_desc(ISC_STATUS* status, const ISC_SCHAR* table, const ISC_SCHAR* column,
                                        const short* sqlDtype, const short* sqlLength, const short* dimensions,
                                        ISC_ARRAY_DESC* desc) = 0;
  virtual ISC_STATUS isc_array_set_desc2(ISC_STATUS* status, const ISC_SCHAR* table, const ISC_SCHAR* column,
                                         const short* sqlDtype, const short* sqlLength, const short* dimensions,
                                         ISC_ARRAY_DESC_V2* desc) = 0;
  virtual ISC_STATUS isc_array_put_slice(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, ISC_QUAD* id,
                                         const ISC_ARRAY_DESC* desc, void* slice, ISC_LONG* sliceLength) = 0;
  virtual ISC_STATUS isc_array_put_slice2(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, ISC_QUAD* id,
                                          const ISC_ARRAY_DESC_V2* desc, void* slice, ISC_LONG* sliceLength) = 0;
  virtual void isc_blob_default_desc(ISC_BLOB_DESC* desc, const ISC_UCHAR* table, const ISC_UCHAR* column) = 0;
  virtual void isc_blob_default_desc2(ISC_BLOB_DESC_V2* desc, const ISC_UCHAR* table, const ISC_UCHAR* column) = 0;
  virtual ISC_STATUS isc_blob_gen_bpb(ISC_STATUS* status, const ISC_BLOB_DESC* to, const ISC_BLOB_DESC* from,
                                      unsigned short bpbBufferLength, ISC_UCHAR* bpbBuffer,
                                      unsigned short* bpbLength) = 0;
  virtual ISC_STATUS isc_blob_gen_bpb2(ISC_STATUS* status, const ISC_BLOB_DESC_V2* to, const ISC_BLOB_DESC_V2* from,
                                       unsigned short bpbBufferLength, ISC_UCHAR* bpbBuffer,
                                       unsigned short* bpbLength) = 0;
  virtual ISC_STATUS isc_blob_info(ISC_STATUS* status, isc_blob_handle* blob, short itemLength, const ISC_SCHAR* items,
                                   short bufferLength, ISC_SCHAR* buffer) = 0;
  virtual ISC_STATUS isc_blob_lookup_desc(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr,
                                          const ISC_UCHAR* table, const ISC_UCHAR* column, ISC_BLOB_DESC* desc,
                                          ISC_UCHAR* global) = 0;
  virtual ISC_STATUS isc_blob_lookup_desc2(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr,
                                           const ISC_UCHAR* table, const ISC_UCHAR* column, ISC_BLOB_DESC_V2* desc,
                                           ISC_UCHAR* global) = 0;
  virtual ISC_STATUS isc_blob_set_desc(ISC_STATUS* status, const ISC_UCHAR* table, const ISC_UCHAR* column,
                                       short subtype, short charset, short segmentSize, ISC_BLOB_DESC* desc) = 0;
  virtual ISC_STATUS isc_blob_set_desc2(ISC_STATUS* status, const ISC_UCHAR* table, const ISC_UCHAR* column,
                                        short subtype, short charset, short segmentSize, ISC_BLOB_DESC_V2* desc) = 0;
  virtual ISC_STATUS isc_cancel_blob(ISC_STATUS* status, isc_blob_handle* blob) = 0;
  virtual ISC_STATUS isc_cancel_events(ISC_STATUS* status, isc_db_handle* db, ISC_LONG* eventId) = 0;
  virtual ISC_STATUS isc_close_blob(ISC_STATUS* status, isc_blob_handle* blob) = 0;
  virtual ISC_STATUS isc_commit_retaining(ISC_STATUS* status, isc_tr_handle* tr) = 0;
  virtual ISC_STATUS isc_commit_transaction(ISC_STATUS* status, isc_tr_handle* tr) = 0;
  virtual ISC_STATUS isc_create_blob2(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, isc_blob_handle* blob,
                                      ISC_QUAD* id, short bpbLength, const ISC_SCHAR* bpb) = 0;
  virtual ISC_STATUS isc_database_info(ISC_STATUS* status, isc_db_handle* db, short itemLength, const ISC_SCHAR* items,
                                       short bufferLength, ISC_SCHAR* buffer) = 0;
  virtual void isc_decode_date(const ISC_QUAD* date, void* times) = 0;
  virtual void isc_decode_sql_date(const ISC_DATE* date, void* times) = 0;
  virtual void isc_decode_sql_time(const ISC_TIME* time, void* times) = 0;
  virtual void isc_decode_timestamp(const ISC_TIMESTAMP* timestamp, void* times) = 0;
  virtual ISC_STATUS isc_detach_database(ISC_STATUS* status, isc_db_handle* db) = 0;
  virtual ISC_STATUS isc_drop_database(ISC_STATUS* status, isc_db_handle* db) = 0;
  virtual ISC_STATUS isc_dsql_alloc_statement2(ISC_STATUS* status, isc_db_handle* db, isc_stmt_handle* stmt) = 0;
  virtual ISC_STATUS isc_dsql_describe(ISC_STATUS* status, isc_stmt_handle* stmt, unsigned short dialect,
                                       XSQLDA* out) = 0;
  virtual ISC_STATUS isc_dsql_describe_bind(ISC_STATUS* status, isc_stmt_handle* stmt, unsigned short dialect,
                                            XSQLDA* in) = 0;
  virtual ISC_STATUS isc_dsql_execute(ISC_STATUS* status, isc_tr_handle* tr, isc_stmt_handle* stmt,
                                      unsigned short dialect, const XSQLDA* in) = 0;
  virtual ISC_STATUS isc_dsql_execute2(ISC_STATUS* status, isc_tr_handle* tr, isc_stmt_handle* stmt,
                                       unsigned short dialect, const XSQLDA* in, const XSQLDA* out) = 0;
  virtual ISC_STATUS isc_dsql_execute_immediate(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr,
                                                unsigned short length, const ISC_SCHAR* sql, unsigned short dialect,
                                                const XSQLDA* in) = 0;
  virtual ISC_STATUS isc_dsql_fetch(ISC_STATUS* status, isc_stmt_handle* stmt, unsigned short dialect,
                                    const XSQLDA* out) = 0;
  virtual ISC_STATUS isc_dsql_free_statement(ISC_STATUS* status, isc_stmt_handle* stmt, unsigned short option) = 0;
  virtual ISC_STATUS isc_dsql_prepare(ISC_STATUS* status, isc_tr_handle* tr, isc_stmt_handle* stmt,
                                      unsigned short length, const ISC_SCHAR* sql, unsigned short dialect,
                                      XSQLDA* out) = 0;
  virtual ISC_STATUS isc_dsql_set_cursor_name(ISC_STATUS* status, isc_stmt_handle* stmt, const ISC_SCHAR* cursor,
                                              unsigned short type) = 0;
  virtual ISC_STATUS isc_dsql_sql_info(ISC_STATUS* status, isc_stmt_handle* stmt, short itemLength,
                                       const ISC_SCHAR* items, short bufferLength, ISC_SCHAR* buffer) = 0;
  virtual void isc_encode_date(const void* times, ISC_QUAD* date) = 0;
  virtual void isc_encode_sql_date(const void* times, ISC_DATE* date) = 0;
  virtual void isc_encode_sql_time(const void* times, ISC_TIME* time) = 0;
  virtual void isc_encode_timestamp(const void* times, ISC_TIMESTAMP* timestamp) = 0;
  virtual ISC_LONG isc_event_block(ISC_UCHAR** eventBuffer, ISC_UCHAR** resultBuffer, ISC_USHORT count, ...) = 0;
  virtual void isc_event_counts(ISC_ULONG* counts, short length, ISC_UCHAR* eventBuffer,
                                const ISC_UCHAR* resultBuffer) = 0;
  virtual ISC_LONG isc_free(ISC_SCHAR* block) = 0;
  virtual ISC_STATUS isc_get_segment(ISC_STATUS* status, isc_blob_handle* blob, unsigned short* actualLength,
                                     unsigned short bufferLength, ISC_SCHAR* buffer) = 0;
  virtual ISC_LONG isc_interprete(ISC_SCHAR* buffer, ISC_STATUS** status) = 0;
  virtual ISC_STATUS isc_open_blob2(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, isc_blob_handle* blob,
                                    ISC_QUAD* id, ISC_USHORT bpbLength, const ISC_UCHAR* bpb) = 0;
  virtual ISC_STATUS isc_prepare_transaction2(ISC_STATUS* status, isc_tr_handle* tr, ISC_USHORT length,
                                              const ISC_UCHAR* message) = 0;
  virtual ISC_STATUS isc_put_segment(ISC_STATUS* status, isc_blob_handle* blob, unsigned short length,
                                     const ISC_SCHAR* buffer) = 0;
  virtual ISC_STATUS isc_que_events(ISC_STATUS* status, isc_db_handle* db, ISC_LONG* eventId, short length,
                                    const ISC_UCHAR* events, ISC_EVENT_CALLBACK callback, void* argument) = 0;
  virtual ISC_STATUS isc_release_savepoint(ISC_STATUS* status, isc_tr_handle* tr, ISC_SCHAR* name) = 0;
  virtual ISC_STATUS isc_rollback_retaining(ISC_STATUS* status, isc_tr_handle* tr) = 0;
  virtual ISC_STATUS isc_rollback_savepoint(ISC_STATUS* status, isc_tr_handle* tr, ISC_SCHAR* name,
                                            ISC_USHORT option) = 0;
  virtual ISC_STATUS isc_rollback_transaction(ISC_STATUS* status, isc_tr_handle* tr) = 0;
  virtual ISC_STATUS isc_start_multiple(ISC_STATUS* status, isc_tr_handle* tr, short count, void* teb) = 0;
  virtual ISC_STATUS isc_start_savepoint(ISC_STATUS* status, isc_tr_handle* tr, ISC_SCHAR* name) = 0;
  virtual ISC_LONG isc_sqlcode(const ISC_STATUS* status) = 0;
  virtual void isc_sql_interprete(short sqlcode, ISC_SCHAR* buffer, short length) = 0;
  virtual ISC_LONG isc_vax_integer(const ISC_SCHAR* bytes, short length) = 0;
  virtual ISC_STATUS isc_dsql_batch_execute_immed(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr,
                                                  ISC_USHORT dialect, ISC_ULONG count, ISC_SCHAR** statements,
                                                  ISC_ULONG* rowsAffected) = 0;
  virtual ISC_STATUS isc_dsql_batch_execute(ISC_STATUS* status, isc_tr_handle* tr, isc_stmt_handle* stmt,
                                            ISC_USHORT dialect, XSQLDA* in, ISC_USHORT rows, XSQLVAR** batch,
                                            ISC_ULONG* rowsAffected) = 0;
  virtual ISC_STATUS isc_add_user(ISC_STATUS* status, const USER_SEC_DATA* user) = 0;
  virtual ISC_STATUS isc_delete_user(ISC_STATUS* status, const USER_SEC_DATA* user) = 0;
  virtual ISC_STATUS isc_modify_user(ISC_STATUS* status, const USER_SEC_DATA* user) = 0;
  virtual ISC_STATUS isc_prepare_transaction(ISC_STATUS* status, isc_tr_handle* tr) = 0;
  virtual int BLOB_put(ISC_SCHAR c, FB_BLOB_STREAM stream) = 0;
  virtual int BLOB_get(FB_BLOB_STREAM stream) = 0;
  virtual ISC_STATUS isc_service_attach(ISC_STATUS* status, unsigned short nameLength, const ISC_SCHAR* name,
                                        isc_svc_handle* svc, unsigned short spbLength, const ISC_SCHAR* spb) = 0;
  virtual ISC_STATUS isc_service_detach(ISC_STATUS* status, isc_svc_handle* svc) = 0;
  virtual ISC_STATUS isc_service_query(ISC_STATUS* status, isc_svc_handle* svc, isc_resv_handle* reserved,
                                       unsigned short sendLength, const ISC_SCHAR* send, unsigned short requestLength,
                                       const ISC_SCHAR* request, unsigned short bufferLength, ISC_SCHAR* buffer) = 0;
  virtual ISC_STATUS isc_service_start(ISC_STATUS* status, isc_svc_handle* svc, isc_resv_handle* reserved,
                                       unsigned short spbLength, const ISC_SCHAR* spb) = 0;
  virtual void isc_get_client_version(ISC_SCHAR* buffer) = 0;
  virtual int isc_get_client_major_version() = 0;
  virtual int isc_get_client_minor_version() = 0;
  virtual ISC_STATUS isc_transaction_info(ISC_STATUS* status, isc_tr_handle* tr, short itemLength,
                                          const ISC_SCHAR* items, short bufferLength, ISC_SCHAR* buffer) = 0;
};

class TIBServerLibrary : public IGDSLibrary {
public:
  explicit TIBServerLibrary(std::shared_ptr<IModuleHost> host = std::make_shared<SystemModuleHost>());
  // Keeps a loaded DLL loaded: its own threads may still run until the process ends.
  ~TIBServerLibrary() override;
  TIBServerLibrary(const TIBServerLibrary&) = delete;
  TIBServerLibrary& operator=(const TIBServerLibrary&) = delete;

  Text LibraryName() override;
  void LoadIBLibrary() override;
  void FreeIBLibrary() override;
  bool TryIBLoad() override;
  void CheckIBLoaded() override;
  std::int64_t GetIBClientVersion() override;

  bool Loaded() const noexcept { return FIBLibrary != nullptr; }

  // The forwarding operations, one per entry point of the list in dbclient/IBApi.h:
  // each calls its slot with its own arguments.
#define FBU_IB_FORWARD_Fwd(name, R, params, args)                                                                      \
  R name params override                                                                                               \
  {                                                                                                                    \
    return Forward<IBEntry::name> args;                                                                                \
  }
#define FBU_IB_FORWARD_Bound(name, R, params, args)
#define FBU_IB_FORWARD_VarArg(name, R, params, args)
#define FBU_IB_FORWARD_Xml(name, R, params, args)
#define FBU_IB_FORWARD(kind, name, R, params, args) FBU_IB_FORWARD_##kind(name, R, params, args)
  FBU_IB_ENTRY_POINTS(FBU_IB_FORWARD)
#undef FBU_IB_FORWARD
#undef FBU_IB_FORWARD_Fwd
#undef FBU_IB_FORWARD_Bound
#undef FBU_IB_FORWARD_VarArg
#undef FBU_IB_FORWARD_Xml

  // Passes up to kMaxEventNames names (const char*) on; more raise std::invalid_argument.
  ISC_LONG isc_event_block(ISC_UCHAR** eventBuffer, ISC_UCHAR** resultBuffer, ISC_USHORT count, ...) override;

private:
  template <IBEntry E, class... A> typename IBFnTraits<IBEntryFn<E>>::Result Forward(A... args)
  {
    try {
      return SlotAs<E>(FSlots)(args...);
    } catch (const IBNotLoadedSignal&) {
      RaiseNotLoaded();
    }
  }
  [[noreturn]] void RaiseNotLoaded();

  std::unique_ptr<IModule> FIBLibrary;    // the client library; absent when not loaded
  std::unique_ptr<IModule> FIBXMLLibrary; // "ibxml.dll", when this variant's load found it
  std::int64_t FIBClientVersion = 0;      // ten-thousandths; 0 until a load first binds
  IBSlots FSlots;                         // one per client entry point, bound or stub
  std::uint64_t FXmlToken = 0;            // identifies this variant's write of the XML fetch slots
  std::shared_ptr<IModuleHost> FHost;
};

// The embedded variant: the same rule for its own DLL.
class TIBEmbeddedLibrary : public TIBServerLibrary {
public:
  using TIBServerLibrary::TIBServerLibrary;
  Text LibraryName() override;
};

// The process-wide XML fetch slots: the last successful load of any variant decides
// what they hold (the XML library's entry points, or version-6.5 stubs when it found
// no "ibxml.dll"). Before any load, and after the variant that bound them released its
// libraries, they hold stubs raising client error 1 for "ibxml.dll".
IBAnyFn XmlFetchSlotAny(IBEntry entry);
template <IBEntry E> IBEntryFn<E> XmlFetchSlot()
{
  static_assert(Index(E) >= kIBSlotCount, "not an XML fetch entry point");
  return reinterpret_cast<IBEntryFn<E>>(XmlFetchSlotAny(E));
}

// Finds the variant whose key equals name when the letters A-Z of both are compared
// without regard to case; name becomes the key's exact text. Raises client error 123
// listing every key (separated by single blanks) when none matches.
std::shared_ptr<IGDSLibrary> FindClientLibrary(Text& name);
// Adds a variant; a key already present (exact comparison) raises EListError
// "Duplicates not allowed".
void RegisterClientLibrary(const Text& name, std::shared_ptr<IGDSLibrary> library);

// Start-up: creates the variant map, when there is none yet, with "IBServer" and
// "IBEmbedded". Shutdown: drops both variants and the map. Loads nothing.
UnitSteps IBIntfUnit();

} // namespace fbu
