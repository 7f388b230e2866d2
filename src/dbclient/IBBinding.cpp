#include "dbclient/IBBinding.h"

#include "base/Exceptions.h"
#include "dbclient/IBError.h"

namespace fbu {

namespace {

template <IBEntry... E> struct Entries {
};
using E = IBEntry;

// Bound from every client, in this order.
using RequiredEntries =
    Entries<E::BLOB_get, E::BLOB_put, E::isc_sqlcode, E::isc_sql_interprete, E::isc_interprete, E::isc_vax_integer,
            E::isc_blob_info, E::isc_open_blob2, E::isc_close_blob, E::isc_get_segment, E::isc_put_segment,
            E::isc_create_blob2, E::isc_cancel_blob, E::isc_array_gen_sdl, E::isc_array_get_slice,
            E::isc_array_lookup_bounds, E::isc_array_lookup_desc, E::isc_array_set_desc, E::isc_array_put_slice,
            E::isc_blob_default_desc, E::isc_blob_gen_bpb, E::isc_blob_lookup_desc, E::isc_blob_set_desc,
            E::isc_decode_date, E::isc_encode_date, E::isc_dsql_free_statement, E::isc_dsql_execute2,
            E::isc_dsql_execute, E::isc_dsql_set_cursor_name, E::isc_dsql_fetch, E::isc_dsql_sql_info,
            E::isc_dsql_alloc_statement2, E::isc_dsql_prepare, E::isc_dsql_describe_bind, E::isc_dsql_describe,
            E::isc_dsql_execute_immediate, E::isc_drop_database, E::isc_detach_database, E::isc_attach_database,
            E::isc_database_info, E::isc_start_multiple, E::isc_commit_transaction, E::isc_commit_retaining,
            E::isc_rollback_transaction, E::isc_cancel_events, E::isc_que_events, E::isc_event_counts,
            E::isc_event_block, E::isc_free, E::isc_add_user, E::isc_delete_user, E::isc_modify_user,
            E::isc_prepare_transaction, E::isc_prepare_transaction2, E::isc_transaction_info>;
// Required of a client that has isc_rollback_retaining (version 6.0 and later).
using Version6Entries =
    Entries<E::isc_service_attach, E::isc_service_detach, E::isc_service_query, E::isc_service_start,
            E::isc_decode_sql_date, E::isc_decode_sql_time, E::isc_decode_timestamp, E::isc_encode_sql_date,
            E::isc_encode_sql_time, E::isc_encode_timestamp>;
using ClientVersionEntries =
    Entries<E::isc_get_client_version, E::isc_get_client_major_version, E::isc_get_client_minor_version>;
using Version70Entries =
    Entries<E::isc_array_gen_sdl2, E::isc_array_get_slice2, E::isc_array_lookup_bounds2, E::isc_array_lookup_desc2,
            E::isc_array_set_desc2, E::isc_array_put_slice2, E::isc_blob_default_desc2, E::isc_blob_gen_bpb2,
            E::isc_blob_lookup_desc2, E::isc_blob_set_desc2>;
using Version71Entries = Entries<E::isc_release_savepoint, E::isc_rollback_savepoint, E::isc_start_savepoint>;
using Version80Entries = Entries<E::isc_dsql_batch_execute_immed, E::isc_dsql_batch_execute>;
using XmlEntries = Entries<E::isc_dsql_xml_fetch, E::isc_dsql_xml_fetch_all, E::isc_dsql_xml_buffer_fetch>;

IBAnyFn BindRequired(IModule& module, IBEntry entry)
{
  void* address = module.Symbol(EntryName(entry));
  if (!address) RaiseOSError(module.LastError());
  return reinterpret_cast<IBAnyFn>(address);
}

bool BindOptional(IModule& module, IBEntry entry, IBSlots& slots)
{
  void* address = module.Symbol(EntryName(entry));
  if (address) slots[Index(entry)] = reinterpret_cast<IBAnyFn>(address);
  return address != nullptr;
}

template <IBEntry... L> void BindAll(IModule& module, IBSlots& slots, Entries<L...>)
{
  ((slots[Index(L)] = BindRequired(module, L)), ...);
}

template <IBStubKind K, IBEntry... L> void SetStubs(IBSlots& slots, Entries<L...>)
{
  ((slots[Index(L)] = Stub<K, L>()), ...);
}

template <std::size_t... I> IBSlots NotLoadedStubs(std::index_sequence<I...>) noexcept
{
  return IBSlots{Stub<IBStubKind::NotLoaded, static_cast<IBEntry>(I)>()...};
}

template <IBStubKind K, std::size_t... I> IBXmlSlots XmlStubs(std::index_sequence<I...>) noexcept
{
  return IBXmlSlots{Stub<K, static_cast<IBEntry>(kIBSlotCount + I)>()...};
}

bool IsXmlEntry(IBEntry entry) noexcept
{
  return Index(entry) >= kIBSlotCount;
}

TextView VersionMessage(IBStubKind kind) noexcept
{
  switch (kind) {
  case IBStubKind::Version65:
    return u"%s is an InterBase 6.5 function. Please upgrade to InterBase 6.5 to use this functonality";
  case IBStubKind::Version70:
    return u"%s is an InterBase 7.0 function. Please upgrade to InterBase 7.0 to use this functonality";
  case IBStubKind::Version71:
    return u"%s is an InterBase 7.1 function. Please upgrade to InterBase 7.1 to use this functonality";
  default: return u"%s is an InterBase 2007 function. Please upgrade to InterBase 2007 to use this functonality";
  }
}

} // namespace

void RaiseStub(IBStubKind kind, IBEntry entry)
{
  const Text name = FromUtf8(EntryName(entry));
  switch (kind) {
  case IBStubKind::NotLoaded:
    if (IsXmlEntry(entry)) RaiseClientError(ClientError::LibraryNotFound, {Text(u"ibxml.dll")});
    throw IBNotLoadedSignal{};
  case IBStubKind::Version6:
    RaiseClientError(ClientError::NeedsVersion6,
                     {entry == IBEntry::isc_encode_timestamp ? Text(u"isc_encode_sql_timestamp") : name});
  case IBStubKind::Version2007: throw EIBClientError(0, Format(VersionMessage(kind), {name}));
  default: throw EIBClientError(0, Format(VersionMessage(kind), {name + u" "}));
  }
}

Text ReplaceFirstBinWithWow64(Text path)
{
  const std::size_t at = path.find(u"\\bin\\");
  if (at != Text::npos) path.replace(at, 5, u"\\Wow64\\");
  return path;
}

Text LocateClientLibrary(IModuleHost& host, const Text& libraryName)
{
  Text folder;
  Text path;
  if (host.FindServerFolder(folder)) {
    path = folder;
    if (path.empty() || path.back() != u'\\') path += u'\\';
    path += libraryName;
  }
  if (host.IsX64Image(path)) path = ReplaceFirstBinWithWow64(std::move(path));
  return path;
}

IBSlots NotLoadedSlots() noexcept
{
  return NotLoadedStubs(std::make_index_sequence<kIBSlotCount>{});
}

IBXmlSlots NotLoadedXmlSlots() noexcept
{
  return XmlStubs<IBStubKind::NotLoaded>(std::make_index_sequence<kIBXmlSlotCount>{});
}

IBClientBinding BindClientLibrary(IModule& module)
{
  IBClientBinding bound{NotLoadedSlots(), 0};
  IBSlots& slots = bound.slots;
  BindAll(module, slots, RequiredEntries{});

  if (BindOptional(module, E::isc_rollback_retaining, slots)) {
    bound.version = kIBVersion60;
    BindAll(module, slots, Version6Entries{});
  } else {
    bound.version = kIBVersion50;
    SetStubs<IBStubKind::Version6>(slots, Version6Entries{});
    SetStubs<IBStubKind::Version6>(slots, Entries<E::isc_rollback_retaining>{});
  }

  if (BindOptional(module, E::isc_get_client_version, slots)) {
    BindAll(module, slots, Entries<E::isc_get_client_major_version, E::isc_get_client_minor_version>{});
    bound.version = IBClientVersion(SlotAs<E::isc_get_client_major_version>(slots)(),
                                    SlotAs<E::isc_get_client_minor_version>(slots)());
  } else {
    SetStubs<IBStubKind::Version70>(slots, ClientVersionEntries{});
  }

  if (bound.version >= kIBVersion70) {
    BindAll(module, slots, Version70Entries{});
    if (bound.version >= kIBVersion71)
      BindAll(module, slots, Version71Entries{});
    else
      SetStubs<IBStubKind::Version71>(slots, Version71Entries{});
    if (bound.version >= kIBVersion80)
      BindAll(module, slots, Version80Entries{});
    else
      SetStubs<IBStubKind::Version2007>(slots, Version80Entries{});
  } else {
    SetStubs<IBStubKind::Version70>(slots, Version70Entries{});
    SetStubs<IBStubKind::Version71>(slots, Version71Entries{});
    SetStubs<IBStubKind::Version2007>(slots, Version80Entries{});
  }
  return bound;
}

IBXmlSlots BindXmlLibrary(IModule* module)
{
  if (!module) return XmlStubs<IBStubKind::Version65>(std::make_index_sequence<kIBXmlSlotCount>{});
  IBXmlSlots slots{};
  [&]<IBEntry... L>(Entries<L...>)
  {
    ((slots[Index(L) - kIBSlotCount] = BindRequired(*module, L)), ...);
  }
  (XmlEntries{});
  return slots;
}

} // namespace fbu
