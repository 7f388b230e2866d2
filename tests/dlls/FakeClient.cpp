// A stand-in for a client library or "ibxml.dll", built from our own sources so the
// loader's tests under Wine load real DLLs. Every entry point is defined with its
// published signature; the build's .def file decides which of them a DLL exports, and
// FBU_FAKE_MAJOR/FBU_FAKE_MINOR what the client-version entry points report.

#include <cstdio>

#include "dbclient/IBApi.h"

using namespace fbu;

namespace {

// Entry points the tests do not call answer with zeroes.
template <IBEntry E> struct Impl {
  template <class... A> static auto Call(A...) { return typename IBFnTraits<IBEntryFn<E>>::Result(); }
};

template <> struct Impl<IBEntry::isc_get_client_major_version> {
  static int Call() { return FBU_FAKE_MAJOR; }
};
template <> struct Impl<IBEntry::isc_get_client_minor_version> {
  static int Call() { return FBU_FAKE_MINOR; }
};
template <> struct Impl<IBEntry::isc_get_client_version> {
  static void Call(ISC_SCHAR* buffer)
  {
    std::snprintf(buffer, 64, "WI-V%d.%d fake client", FBU_FAKE_MAJOR, FBU_FAKE_MINOR);
  }
};
// The client's little-endian integer decoding, so a test can see arguments arrive.
template <> struct Impl<IBEntry::isc_vax_integer> {
  static ISC_LONG Call(const ISC_SCHAR* bytes, short length)
  {
    ISC_LONG value = 0;
    for (short i = 0; i < length && i < 4; ++i)
      value |= static_cast<ISC_LONG>(static_cast<unsigned char>(bytes[i])) << (8 * i);
    return value;
  }
};
template <> struct Impl<IBEntry::isc_dsql_xml_fetch> {
  static int Call(ISC_STATUS*, isc_stmt_handle*, ISC_USHORT dialect, XSQLDA*, IB_XMLDA*) { return 6500 + dialect; }
};

} // namespace

extern "C" {

#define FBU_FAKE_DEFINE(kind, name, R, params, args)                                                                   \
  R FBU_IB_CONVENTION_##kind name params                                                                               \
  {                                                                                                                    \
    return Impl<IBEntry::name>::Call args;                                                                             \
  }
#define FBU_FAKE_DEFINE_VARARG(name)                                                                                   \
  ISC_LONG FBU_IBAPI_VARARG name(ISC_UCHAR**, ISC_UCHAR**, ISC_USHORT count, ...)                                      \
  {                                                                                                                    \
    return count;                                                                                                      \
  }
#define FBU_FAKE(kind, name, R, params, args) FBU_FAKE_##kind(kind, name, R, params, args)
#define FBU_FAKE_Fwd FBU_FAKE_DEFINE
#define FBU_FAKE_Bound FBU_FAKE_DEFINE
#define FBU_FAKE_Xml FBU_FAKE_DEFINE
#define FBU_FAKE_VarArg(kind, name, R, params, args) FBU_FAKE_DEFINE_VARARG(name)

FBU_IB_ENTRY_POINTS(FBU_FAKE)

// Which build of this source a DLL is.
int fbu_fake_version()
{
  return FBU_FAKE_MAJOR * 10 + FBU_FAKE_MINOR;
}
}
