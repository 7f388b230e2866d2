#pragma once
// TStringList: an ordered list of texts, unsorted, duplicates allowed. IndexOf compares
// without regard to case (SameTextIgnoreCase).

#include <vector>

#include "base/Exceptions.h"
#include "base/Text.h"

namespace fbu {

class TStringList {
public:
  int Count() const noexcept { return static_cast<int>(items_.size()); }
  void Clear() noexcept { items_.clear(); }
  int Add(Text item);
  void Insert(int index, Text item);
  void Delete(int index);
  const Text& Get(int index) const;
  const Text& operator[](int index) const { return Get(index); }
  void Put(int index, Text item);
  // Lowest position whose text equals item without regard to case, or -1.
  int IndexOf(TextView item) const noexcept;

  const std::vector<Text>& Items() const noexcept { return items_; }
  auto begin() const noexcept { return items_.begin(); }
  auto end() const noexcept { return items_.end(); }

private:
  void CheckIndex(int index) const;
  std::vector<Text> items_;
};

} // namespace fbu
