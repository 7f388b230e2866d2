#pragma once
// Locating and binding the client library, apart from the library object that keeps
// the result: where the DLL is looked for, which entry points are required or optional
// for which client version, and the stubs that take the place of absent ones.
//
// A stub has the signature of the entry point it replaces, ignores its arguments and
// raises; it never returns.

#include <array>
#include <cstdint>
#include <utility>

#include "base/Text.h"
#include "dbclient/IBApi.h"
#include "dbclient/IBModule.h"

namespace fbu {

// Client versions in ten-thousandths (7.1 is 71000).
inline constexpr std::int64_t kIBVersion50 = 50000;
inline constexpr std::int64_t kIBVersion60 = 60000;
inline constexpr std::int64_t kIBVersion70 = 70000;
inline constexpr std::int64_t kIBVersion71 = 71000;
inline constexpr std::int64_t kIBVersion80 = 80000;

// major + minor / 10, in ten-thousandths.
constexpr std::int64_t IBClientVersion(std::int32_t major, std::int32_t minor) noexcept
{
  // Exact for every pair of 32-bit values: the decimal fraction has one digit.
  return std::int64_t{major} * 10000 + std::int64_t{minor} * 1000;
}

// Replaces the first "\bin\" (case-sensitive) by "\Wow64\"; other paths are returned as given.
Text ReplaceFirstBinWithWow64(Text path);

// The location rule: the DLL beside the single Firebird server folder, or its 32-bit
// counterpart under "\Wow64\" when that DLL is an x64 image. Empty when no single
// server folder exists. Raises when the file found cannot be classified.
Text LocateClientLibrary(IModuleHost& host, const Text& libraryName);

enum class IBStubKind {
  NotLoaded,   // client error 1: the library is not loaded
  Version6,    // client error 3: "... is an InterBase 6 function ..."
  Version65,   // "... InterBase 6.5 function ..."
  Version70,   // "... InterBase 7.0 function ..."
  Version71,   // "... InterBase 7.1 function ..."
  Version2007, // "... InterBase 2007 function ..."
};

// What a NotLoaded stub of a library slot raises: the library object turns it into
// client error 1 naming its own file, which a stub cannot know.
struct IBNotLoadedSignal {};

// Raises what the stub of kind for entry raises. A NotLoaded stub of an XML fetch slot
// raises client error 1 naming "ibxml.dll"; one of a library slot raises IBNotLoadedSignal.
[[noreturn]] void RaiseStub(IBStubKind kind, IBEntry entry);

template <class F> struct IBStubOf;
template <class R, class... A> struct IBStubOf<R(FBU_IBAPI*)(A...)> {
  template <IBStubKind K, IBEntry E> static R FBU_IBAPI Raise(A...) { RaiseStub(K, E); }
};
#if defined(_WIN32) && !defined(_WIN64)
template <class R, class... A> struct IBStubOf<R(FBU_IBAPI_VARARG*)(A..., ...)> {
  template <IBStubKind K, IBEntry E> static R FBU_IBAPI_VARARG Raise(A..., ...) { RaiseStub(K, E); }
};
#else
template <class R, class... A> struct IBStubOf<R (*)(A..., ...)> {
  template <IBStubKind K, IBEntry E> static R Raise(A..., ...) { RaiseStub(K, E); }
};
#endif

template <IBStubKind K, IBEntry E> IBAnyFn Stub() noexcept
{
  return reinterpret_cast<IBAnyFn>(&IBStubOf<IBEntryFn<E>>::template Raise<K, E>);
}

using IBSlots = std::array<IBAnyFn, kIBSlotCount>;
using IBXmlSlots = std::array<IBAnyFn, kIBXmlSlotCount>;

template <IBEntry E> IBEntryFn<E> SlotAs(const IBSlots& slots) noexcept
{
  static_assert(Index(E) < kIBSlotCount);
  return reinterpret_cast<IBEntryFn<E>>(slots[Index(E)]);
}
template <IBEntry E> IBEntryFn<E> XmlSlotAs(const IBXmlSlots& slots) noexcept
{
  static_assert(Index(E) >= kIBSlotCount && Index(E) < kIBEntryCount);
  return reinterpret_cast<IBEntryFn<E>>(slots[Index(E) - kIBSlotCount]);
}

// Every slot a NotLoaded stub: the state of a library that is not loaded.
IBSlots NotLoadedSlots() noexcept;
IBXmlSlots NotLoadedXmlSlots() noexcept;

struct IBClientBinding {
  IBSlots slots;
  std::int64_t version = 0; // ten-thousandths
};

// Binds the client library's entry points: the required ones (the operating-system
// error of the failed lookup is raised when one is missing), the optional ones that
// decide the client version, and stubs for what that version lacks.
IBClientBinding BindClientLibrary(IModule& module);

// The XML fetch entry points of a loaded "ibxml.dll" (all three required), or the
// version-6.5 stubs when module is nullptr.
IBXmlSlots BindXmlLibrary(IModule* module);

} // namespace fbu
