// The OLE byte-array variant on oleaut32: every failure of a call becomes EVariantError
// in one place, with the call's HRESULT.
#include "base/OleVariant.h"

#include <windows.h>

#include <oleauto.h>

#include <utility>

namespace fbu {

namespace {

void Check(HRESULT hr)
{
  if (FAILED(hr))
    throw EVariantError(Format(u"Variant array operation failed (%x)", {std::int64_t{static_cast<std::uint32_t>(hr)}}));
}

bool HoldsByteArray(const VARIANT& v) noexcept
{
  return V_VT(&v) == (VT_ARRAY | VT_UI1) && V_ARRAY(&v) != nullptr && SafeArrayGetDim(V_ARRAY(&v)) == 1;
}

SAFEARRAY* ByteArrayOf(const VARIANT& v)
{
  if (!HoldsByteArray(v)) throw EVariantError(u"Variant does not hold a byte array");
  return V_ARRAY(&v);
}

SAFEARRAYBOUND Bound(std::int32_t low, std::int32_t high)
{
  const std::int64_t count = static_cast<std::int64_t>(high) - low + 1;
  if (count > INT32_MAX) throw EVariantError(u"Variant array bounds out of range");
  return SAFEARRAYBOUND{count > 0 ? static_cast<ULONG>(count) : 0UL, low};
}

} // namespace

OleVariant::OleVariant() noexcept
{
  VariantInit(&v_);
}

OleVariant::~OleVariant()
{
  VariantClear(&v_);
}

OleVariant::OleVariant(const OleVariant& other)
{
  VariantInit(&v_);
  // VariantCopy only reads its source, though its prototype is not const.
  Check(VariantCopy(&v_, const_cast<VARIANT*>(&other.v_)));
}

OleVariant& OleVariant::operator=(const OleVariant& other)
{
  if (this != &other) *this = OleVariant(other);
  return *this;
}

OleVariant::OleVariant(OleVariant&& other) noexcept : v_(other.v_)
{
  VariantInit(&other.v_);
}

OleVariant& OleVariant::operator=(OleVariant&& other) noexcept
{
  if (this != &other) {
    VariantClear(&v_);
    v_ = other.v_;
    VariantInit(&other.v_);
  }
  return *this;
}

OleVariant OleVariant::Null()
{
  OleVariant v;
  V_VT(&v.v_) = VT_NULL;
  return v;
}

bool OleVariant::IsEmpty() const noexcept
{
  return V_VT(&v_) == VT_EMPTY;
}

bool OleVariant::IsNull() const noexcept
{
  return V_VT(&v_) == VT_NULL;
}

bool OleVariant::IsByteArray() const noexcept
{
  return HoldsByteArray(v_);
}

void OleVariant::Clear() noexcept
{
  VariantClear(&v_);
}

void OleVariant::CreateByteArray(std::int32_t low, std::int32_t high)
{
  SAFEARRAYBOUND bound = Bound(low, high);
  SAFEARRAY* array = SafeArrayCreate(VT_UI1, 1, &bound);
  if (!array) throw EVariantError(u"Variant array cannot be created");
  // SafeArrayCreate zero-fills the data. Hand the array over only after the old content
  // is gone, so a failure leaves no half-made variant.
  Check(VariantClear(&v_));
  V_VT(&v_) = VT_ARRAY | VT_UI1;
  V_ARRAY(&v_) = array;
}

std::int32_t OleVariant::LowBound() const
{
  LONG low = 0;
  Check(SafeArrayGetLBound(ByteArrayOf(v_), 1, &low));
  return low;
}

std::int32_t OleVariant::HighBound() const
{
  LONG high = 0;
  Check(SafeArrayGetUBound(ByteArrayOf(v_), 1, &high));
  return high;
}

void OleVariant::RedimByteArray(std::int32_t high)
{
  SAFEARRAY* array = ByteArrayOf(v_);
  SAFEARRAYBOUND bound = Bound(LowBound(), high);
  Check(SafeArrayRedim(array, &bound));
}

int OleVariant::LockCount() const noexcept
{
  return HoldsByteArray(v_) ? static_cast<int>(V_ARRAY(&v_)->cLocks) : 0;
}

ByteArrayLock::ByteArrayLock(const OleVariant& variant) : variant_(variant)
{
  SAFEARRAY* array = ByteArrayOf(variant.v_);
  void* data = nullptr;
  Check(SafeArrayAccessData(array, &data));
  data_ = static_cast<std::uint8_t*>(data);
  size_ = static_cast<std::int64_t>(array->rgsabound[0].cElements);
}

ByteArrayLock::~ByteArrayLock()
{
  SafeArrayUnaccessData(V_ARRAY(&variant_.v_));
}

} // namespace fbu
