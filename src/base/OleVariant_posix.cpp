// The stand-in for the OLE byte-array variant outside Windows: the same states, bounds
// and refusals as the oleaut32 calls that OleVariant_win.cpp makes.
#include "base/OleVariant.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace fbu {

struct OleVariant::Array {
  std::int32_t low = 0;
  std::vector<std::uint8_t> bytes;
  int locks = 0;
};

namespace {

std::size_t ElementCount(std::int32_t low, std::int32_t high)
{
  // SafeArrayCreate takes an element count, so an inverted range is an empty array,
  // and one wider than 2^31 - 1 elements does not exist.
  const std::int64_t count = static_cast<std::int64_t>(high) - low + 1;
  if (count > INT32_MAX) throw EVariantError(u"Variant array bounds out of range");
  return count > 0 ? static_cast<std::size_t>(count) : 0;
}

} // namespace

OleVariant::OleVariant() noexcept = default;
OleVariant::~OleVariant() = default;

OleVariant::OleVariant(const OleVariant& other) : kind_(other.kind_)
{
  if (other.array_) array_ = std::make_unique<Array>(Array{other.array_->low, other.array_->bytes, 0});
}

OleVariant& OleVariant::operator=(const OleVariant& other)
{
  if (this != &other) *this = OleVariant(other);
  return *this;
}

OleVariant::OleVariant(OleVariant&& other) noexcept : kind_(other.kind_), array_(std::move(other.array_))
{
  other.kind_ = Kind::empty;
}

OleVariant& OleVariant::operator=(OleVariant&& other) noexcept
{
  if (this != &other) {
    kind_ = std::exchange(other.kind_, Kind::empty);
    array_ = std::move(other.array_);
  }
  return *this;
}

OleVariant OleVariant::Null()
{
  OleVariant v;
  v.kind_ = Kind::null;
  return v;
}

bool OleVariant::IsEmpty() const noexcept
{
  return kind_ == Kind::empty;
}

bool OleVariant::IsNull() const noexcept
{
  return kind_ == Kind::null;
}

bool OleVariant::IsByteArray() const noexcept
{
  return kind_ == Kind::bytes;
}

void OleVariant::Clear() noexcept
{
  kind_ = Kind::empty;
  array_.reset();
}

void OleVariant::CreateByteArray(std::int32_t low, std::int32_t high)
{
  auto fresh = std::make_unique<Array>();
  fresh->low = low;
  fresh->bytes.resize(ElementCount(low, high));
  array_ = std::move(fresh);
  kind_ = Kind::bytes;
}

std::int32_t OleVariant::LowBound() const
{
  if (!IsByteArray()) throw EVariantError(u"Variant does not hold a byte array");
  return array_->low;
}

std::int32_t OleVariant::HighBound() const
{
  if (!IsByteArray()) throw EVariantError(u"Variant does not hold a byte array");
  return static_cast<std::int32_t>(array_->low + static_cast<std::int64_t>(array_->bytes.size()) - 1);
}

void OleVariant::RedimByteArray(std::int32_t high)
{
  if (!IsByteArray()) throw EVariantError(u"Variant does not hold a byte array");
  if (array_->locks > 0) throw EVariantError(u"Variant array is locked");
  array_->bytes.resize(ElementCount(array_->low, high));
}

int OleVariant::LockCount() const noexcept
{
  return array_ ? array_->locks : 0;
}

ByteArrayLock::ByteArrayLock(const OleVariant& variant) : variant_(variant)
{
  if (!variant.IsByteArray()) throw EVariantError(u"Variant does not hold a byte array");
  ++variant.array_->locks;
  data_ = variant.array_->bytes.data();
  size_ = static_cast<std::int64_t>(variant.array_->bytes.size());
}

ByteArrayLock::~ByteArrayLock()
{
  --variant_.array_->locks;
}

} // namespace fbu
