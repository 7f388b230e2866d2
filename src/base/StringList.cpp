#include "base/StringList.h"

#include "base/List.h"

namespace fbu {

void TStringList::CheckIndex(int index) const
{
  if (index < 0 || index >= Count()) throw EListError(Format(kListIndexError, {std::int64_t{index}}));
}

int TStringList::Add(Text item)
{
  items_.push_back(std::move(item));
  return Count() - 1;
}

void TStringList::Insert(int index, Text item)
{
  if (index < 0 || index > Count()) throw EListError(Format(kListIndexError, {std::int64_t{index}}));
  items_.insert(items_.begin() + index, std::move(item));
}

void TStringList::Delete(int index)
{
  CheckIndex(index);
  items_.erase(items_.begin() + index);
}

const Text& TStringList::Get(int index) const
{
  CheckIndex(index);
  return items_[static_cast<std::size_t>(index)];
}

void TStringList::Put(int index, Text item)
{
  CheckIndex(index);
  items_[static_cast<std::size_t>(index)] = std::move(item);
}

int TStringList::IndexOf(TextView item) const noexcept
{
  for (std::size_t i = 0; i < items_.size(); ++i)
    if (SameTextIgnoreCase(items_[i], item)) return static_cast<int>(i);
  return -1;
}

} // namespace fbu
