#include "dbclient/IBIntf.h"

#include <cstdarg>
#include <mutex>
#include <stdexcept>
#include <utility>
#include <vector>

#include "base/Exceptions.h"
#include "dbclient/IBError.h"

namespace fbu {

namespace {

// The three XML fetch slots are shared by all variants. Each write is tagged with a
// token so that a variant releasing its XML library can tell whether the slots still
// point into it.
struct XmlFetchState {
  std::mutex lock;
  IBXmlSlots slots = NotLoadedXmlSlots();
  std::uint64_t owner = 0; // token of the write that bound them; 0 while they hold stubs
  std::uint64_t lastToken = 0;
};

XmlFetchState& XmlState()
{
  static XmlFetchState state;
  return state;
}

// Writes the slots of a load; returns the token of the write when it bound a module.
std::uint64_t PublishXmlSlots(const IBXmlSlots& slots, bool bound)
{
  XmlFetchState& state = XmlState();
  std::lock_guard<std::mutex> guard(state.lock);
  state.slots = slots;
  state.owner = bound ? ++state.lastToken : 0;
  return state.owner;
}

void ResetXmlSlotsOf(std::uint64_t token)
{
  if (token == 0) return;
  XmlFetchState& state = XmlState();
  std::lock_guard<std::mutex> guard(state.lock);
  if (state.owner != token) return;
  state.slots = NotLoadedXmlSlots();
  state.owner = 0;
}

struct VariantMap {
  std::vector<std::pair<Text, std::shared_ptr<IGDSLibrary>>> entries; // visited in registration order
};

constinit std::unique_ptr<VariantMap> gVariants;
constinit std::shared_ptr<IGDSLibrary> gServerLibrary;
constinit std::shared_ptr<IGDSLibrary> gEmbeddedLibrary;

Text LowerAsciiOnly(TextView text)
{
  Text out(text);
  for (char16_t& c : out)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  return out;
}

} // namespace

TIBServerLibrary::TIBServerLibrary(std::shared_ptr<IModuleHost> host) : FSlots(NotLoadedSlots()), FHost(std::move(host))
{
}

TIBServerLibrary::~TIBServerLibrary()
{
  if (FIBLibrary) FIBLibrary->KeepLoaded();
  if (FIBXMLLibrary) FIBXMLLibrary->KeepLoaded();
}

Text TIBServerLibrary::LibraryName()
{
  return u"fbclient.dll";
}

void TIBServerLibrary::LoadIBLibrary()
{
  // An image that cannot be classified raises here, before anything changes.
  const Text path = LocateClientLibrary(*FHost, LibraryName());
  std::unique_ptr<IModule> client = path.empty() ? nullptr : FHost->Load(path);
  if (!client) {
    FreeIBLibrary();
    return;
  }
  IBClientBinding bound;
  std::unique_ptr<IModule> xml;
  IBXmlSlots xmlSlots;
  try {
    bound = BindClientLibrary(*client);
    xml = FHost->Load(u"ibxml.dll");
    xmlSlots = BindXmlLibrary(xml.get());
  } catch (...) {
    // Nothing may stay bound into a library about to be released: the variant is left
    // not loaded, and the libraries just loaded are released by their owners.
    FreeIBLibrary();
    throw;
  }
  // The slots are switched before the libraries of an earlier load are released.
  FSlots = bound.slots;
  FIBClientVersion = bound.version;
  FXmlToken = PublishXmlSlots(xmlSlots, xml != nullptr); // replaces whatever an earlier load wrote
  std::unique_ptr<IModule> previousClient = std::exchange(FIBLibrary, std::move(client));
  std::unique_ptr<IModule> previousXml = std::exchange(FIBXMLLibrary, std::move(xml));
}

void TIBServerLibrary::FreeIBLibrary()
{
  FSlots = NotLoadedSlots();
  FIBLibrary.reset();
  ResetXmlSlotsOf(std::exchange(FXmlToken, 0));
  FIBXMLLibrary.reset();
}

bool TIBServerLibrary::TryIBLoad()
{
  if (!FIBLibrary) LoadIBLibrary();
  return FIBLibrary != nullptr;
}

void TIBServerLibrary::CheckIBLoaded()
{
  if (!TryIBLoad()) RaiseNotLoaded();
}

std::int64_t TIBServerLibrary::GetIBClientVersion()
{
  CheckIBLoaded();
  return FIBClientVersion;
}

void TIBServerLibrary::RaiseNotLoaded()
{
  RaiseClientError(ClientError::LibraryNotFound, {LibraryName()});
}

ISC_LONG TIBServerLibrary::isc_event_block(ISC_UCHAR** eventBuffer, ISC_UCHAR** resultBuffer, ISC_USHORT count, ...)
{
  if (count > kMaxEventNames) throw std::invalid_argument("isc_event_block: more than 15 event names");
  const char* names[kMaxEventNames] = {};
  std::va_list list;
  va_start(list, count);
  for (int i = 0; i < count; ++i) names[i] = va_arg(list, const char*);
  va_end(list);
  // The client reads as many names as count says; the rest are never looked at.
  return Forward<IBEntry::isc_event_block>(eventBuffer, resultBuffer, count, names[0], names[1], names[2], names[3],
                                           names[4], names[5], names[6], names[7], names[8], names[9], names[10],
                                           names[11], names[12], names[13], names[14]);
}

Text TIBEmbeddedLibrary::LibraryName()
{
  return u"ibtogo.dll";
}

IBAnyFn XmlFetchSlotAny(IBEntry entry)
{
  if (Index(entry) < kIBSlotCount) throw std::invalid_argument("not an XML fetch entry point");
  XmlFetchState& state = XmlState();
  std::lock_guard<std::mutex> guard(state.lock);
  return state.slots[Index(entry) - kIBSlotCount];
}

std::shared_ptr<IGDSLibrary> FindClientLibrary(Text& name)
{
  const Text wanted = LowerAsciiOnly(name);
  std::shared_ptr<IGDSLibrary> found;
  Text keys;
  bool matched = false;
  if (gVariants) {
    for (const auto& [key, library] : gVariants->entries) {
      if (LowerAsciiOnly(key) == wanted) {
        name = key;
        found = library;
        matched = true;
      }
      if (!keys.empty()) keys += u' ';
      keys += key;
    }
  }
  if (!matched) RaiseClientError(ClientError::InvalidLibraryType, {keys});
  return found;
}

void RegisterClientLibrary(const Text& name, std::shared_ptr<IGDSLibrary> library)
{
  if (!gVariants) gVariants = std::make_unique<VariantMap>();
  for (const auto& entry : gVariants->entries)
    if (entry.first == name) throw EListError(u"Duplicates not allowed");
  gVariants->entries.emplace_back(name, std::move(library));
}

UnitSteps IBIntfUnit()
{
  return UnitSteps{
      "IBIntf",
      {},
      [] {
        if (gVariants) return;
        gServerLibrary = std::make_shared<TIBServerLibrary>();
        gEmbeddedLibrary = std::make_shared<TIBEmbeddedLibrary>();
        RegisterClientLibrary(u"IBServer", gServerLibrary);
        RegisterClientLibrary(u"IBEmbedded", gEmbeddedLibrary);
      },
      [] {
        gServerLibrary.reset();
        gEmbeddedLibrary.reset();
        gVariants.reset();
      },
  };
}

} // namespace fbu
