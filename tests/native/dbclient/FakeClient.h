#pragma once
// Stand-ins for the operating system's module loading, for the loader's portable logic:
// a "library" is a table of exported names, a host answers the server-folder query and
// the x64 test as a test tells it to. The Windows tests load real DLLs instead.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "base/Exceptions.h"
#include "dbclient/IBBinding.h"
#include "dbclient/IBModule.h"

namespace fbu::test {

// The entry-point groups of the client versions, as the loader must treat them.
inline const std::vector<std::string> kRequiredNames = {"BLOB_get",
                                                        "BLOB_put",
                                                        "isc_sqlcode",
                                                        "isc_sql_interprete",
                                                        "isc_interprete",
                                                        "isc_vax_integer",
                                                        "isc_blob_info",
                                                        "isc_open_blob2",
                                                        "isc_close_blob",
                                                        "isc_get_segment",
                                                        "isc_put_segment",
                                                        "isc_create_blob2",
                                                        "isc_cancel_blob",
                                                        "isc_array_gen_sdl",
                                                        "isc_array_get_slice",
                                                        "isc_array_lookup_bounds",
                                                        "isc_array_lookup_desc",
                                                        "isc_array_set_desc",
                                                        "isc_array_put_slice",
                                                        "isc_blob_default_desc",
                                                        "isc_blob_gen_bpb",
                                                        "isc_blob_lookup_desc",
                                                        "isc_blob_set_desc",
                                                        "isc_decode_date",
                                                        "isc_encode_date",
                                                        "isc_dsql_free_statement",
                                                        "isc_dsql_execute2",
                                                        "isc_dsql_execute",
                                                        "isc_dsql_set_cursor_name",
                                                        "isc_dsql_fetch",
                                                        "isc_dsql_sql_info",
                                                        "isc_dsql_alloc_statement2",
                                                        "isc_dsql_prepare",
                                                        "isc_dsql_describe_bind",
                                                        "isc_dsql_describe",
                                                        "isc_dsql_execute_immediate",
                                                        "isc_drop_database",
                                                        "isc_detach_database",
                                                        "isc_attach_database",
                                                        "isc_database_info",
                                                        "isc_start_multiple",
                                                        "isc_commit_transaction",
                                                        "isc_commit_retaining",
                                                        "isc_rollback_transaction",
                                                        "isc_cancel_events",
                                                        "isc_que_events",
                                                        "isc_event_counts",
                                                        "isc_event_block",
                                                        "isc_free",
                                                        "isc_add_user",
                                                        "isc_delete_user",
                                                        "isc_modify_user",
                                                        "isc_prepare_transaction",
                                                        "isc_prepare_transaction2",
                                                        "isc_transaction_info"};
inline const std::vector<std::string> kVersion6Names = {
    "isc_service_attach",  "isc_service_detach",  "isc_service_query",    "isc_service_start",
    "isc_decode_sql_date", "isc_decode_sql_time", "isc_decode_timestamp", "isc_encode_sql_date",
    "isc_encode_sql_time", "isc_encode_timestamp"};
inline const std::vector<std::string> kClientVersionNames = {"isc_get_client_version", "isc_get_client_major_version",
                                                             "isc_get_client_minor_version"};
inline const std::vector<std::string> kVersion70Names = {
    "isc_array_gen_sdl2",    "isc_array_get_slice2", "isc_array_lookup_bounds2", "isc_array_lookup_desc2",
    "isc_array_set_desc2",   "isc_array_put_slice2", "isc_blob_default_desc2",   "isc_blob_gen_bpb2",
    "isc_blob_lookup_desc2", "isc_blob_set_desc2"};
inline const std::vector<std::string> kVersion71Names = {"isc_release_savepoint", "isc_rollback_savepoint",
                                                         "isc_start_savepoint"};
inline const std::vector<std::string> kVersion80Names = {"isc_dsql_batch_execute_immed", "isc_dsql_batch_execute"};
inline const std::vector<std::string> kXmlNames = {"isc_dsql_xml_fetch", "isc_dsql_xml_fetch_all",
                                                   "isc_dsql_xml_buffer_fetch"};

// A distinct, never-called address for each entry point that a test does not call.
inline char* DummyAnchors()
{
  static char anchors[kIBEntryCount];
  return anchors;
}
inline void* DummyAddress(IBEntry e)
{
  return DummyAnchors() + Index(e);
}
inline bool IsDummyAddress(IBAnyFn slot)
{
  const auto at = reinterpret_cast<std::uintptr_t>(reinterpret_cast<void*>(slot));
  const auto first = reinterpret_cast<std::uintptr_t>(DummyAnchors());
  return at >= first && at < first + kIBEntryCount;
}

inline IBEntry EntryByName(const std::string& name)
{
  for (std::size_t i = 0; i < kIBEntryCount; ++i)
    if (name == kIBEntryNames[i]) return static_cast<IBEntry>(i);
  ADD_FAILURE() << "unknown entry point " << name;
  return IBEntry::BLOB_get;
}

template <int Major> int FBU_IBAPI ReportMajor()
{
  return Major;
}
template <int Minor> int FBU_IBAPI ReportMinor()
{
  return Minor;
}

// What a fake DLL exports.
struct FakeLibrary {
  std::map<std::string, void*> exports;
  std::uint32_t lookupError = 127; // the code a failed lookup leaves

  FakeLibrary& Add(const std::vector<std::string>& names)
  {
    for (const auto& n : names) exports[n] = DummyAddress(EntryByName(n));
    return *this;
  }
  FakeLibrary& Set(const std::string& name, void* address)
  {
    exports[name] = address;
    return *this;
  }
  FakeLibrary& Remove(const std::string& name)
  {
    exports.erase(name);
    return *this;
  }
  template <class F> FakeLibrary& Set(const std::string& name, F fn) { return Set(name, reinterpret_cast<void*>(fn)); }
};

// A client of a version profile: without isc_rollback_retaining for 5.0, without the
// client-version entry points below 7.0 unless a reported version is asked for.
template <int Major, int Minor> FakeLibrary ClientReporting()
{
  FakeLibrary lib;
  lib.Add(kRequiredNames).Add({"isc_rollback_retaining"}).Add(kVersion6Names).Add(kClientVersionNames);
  lib.Set("isc_get_client_major_version", &ReportMajor<Major>);
  lib.Set("isc_get_client_minor_version", &ReportMinor<Minor>);
  if (Major * 10 + Minor >= 70) lib.Add(kVersion70Names);
  if (Major * 10 + Minor >= 71) lib.Add(kVersion71Names);
  if (Major * 10 + Minor >= 80) lib.Add(kVersion80Names);
  return lib;
}
inline FakeLibrary Client50()
{
  return FakeLibrary{}.Add(kRequiredNames);
}
inline FakeLibrary Client60()
{
  return FakeLibrary{}.Add(kRequiredNames).Add({"isc_rollback_retaining"}).Add(kVersion6Names);
}
inline FakeLibrary XmlLibrary()
{
  return FakeLibrary{}.Add(kXmlNames);
}

// What happened to the modules of a host: lookups in order, loads by path, modules
// still loaded.
struct ModuleLog {
  std::vector<std::string> lookups;
  std::vector<Text> loads;
  int live = 0;
};

class FakeModule : public IModule {
public:
  FakeModule(FakeLibrary library, std::shared_ptr<ModuleLog> log) : library_(std::move(library)), log_(std::move(log))
  {
    ++log_->live;
  }
  ~FakeModule() override
  {
    if (!kept_) --log_->live;
  }
  void* Symbol(const char* name) override
  {
    log_->lookups.push_back(name);
    auto it = library_.exports.find(name);
    return it == library_.exports.end() ? nullptr : it->second;
  }
  std::uint32_t LastError() const override { return library_.lookupError; }
  void KeepLoaded() noexcept override { kept_ = true; }

private:
  FakeLibrary library_;
  std::shared_ptr<ModuleLog> log_;
  bool kept_ = false;
};

// Files by path (a bare name stands for the system's search); the server folder and the
// x64 answer are whatever the test sets.
class FakeHost : public IModuleHost {
public:
  std::shared_ptr<ModuleLog> log = std::make_shared<ModuleLog>();
  bool hasFolder = false;
  Text folder;
  std::set<Text> x64Images;
  std::function<void(const Text&)> imageCheck; // may raise, as an unreadable image does
  std::vector<Text> imageChecks;
  std::map<Text, FakeLibrary> files;

  void ServerFolder(const Text& f)
  {
    hasFolder = true;
    folder = f;
  }
  bool FindServerFolder(Text& out) override
  {
    out = hasFolder ? folder : Text();
    return hasFolder;
  }
  bool IsX64Image(const Text& path) override
  {
    imageChecks.push_back(path);
    if (imageCheck) imageCheck(path);
    return x64Images.count(path) != 0;
  }
  std::unique_ptr<IModule> Load(const Text& path) override
  {
    log->loads.push_back(path);
    auto it = files.find(path);
    if (it == files.end()) return nullptr;
    return std::make_unique<FakeModule>(it->second, log);
  }
};

// Calls a slot as the layer would, with zero arguments of the entry point's types.
template <IBEntry E> void CallWithZeroArguments(IBAnyFn slot)
{
  const auto fn = reinterpret_cast<IBEntryFn<E>>(slot);
  std::apply(fn, typename IBFnTraits<IBEntryFn<E>>::Args{});
}
inline void CallSlot(IBEntry e, IBAnyFn slot)
{
  static const auto table = []<std::size_t... I>(std::index_sequence<I...>)
  {
    return std::array<void (*)(IBAnyFn), sizeof...(I)>{&CallWithZeroArguments<static_cast<IBEntry>(I)>...};
  }
  (std::make_index_sequence<kIBEntryCount>{});
  table[Index(e)](slot);
}

// The client error a stub raised, or SQLCode -1 when it raised none of that kind.
struct Raised {
  int sqlCode = -1;
  std::string message;
  bool notLoadedSignal = false;
};
inline Raised CallStub(IBEntry e, IBAnyFn slot)
{
  Raised r;
  if (IsDummyAddress(slot)) {
    r.message = "(bound, not a stub)";
    return r;
  }
  try {
    CallSlot(e, slot);
  } catch (const EIBClientError& error) {
    r.sqlCode = error.SQLCode;
    r.message = error.what();
  } catch (const IBNotLoadedSignal&) {
    r.notLoadedSignal = true;
  }
  return r;
}

} // namespace fbu::test
