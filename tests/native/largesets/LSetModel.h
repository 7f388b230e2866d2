#pragma once
// The large integer set as its plain algorithms describe it: a vector of 32-bit words
// that grows to exactly the word needed, a list of occupied word indexes searched
// linearly, and scans that test one candidate at a time with Has. Slow on purpose: it is
// the reference the word-at-a-time TLSet must agree with (tests) and the yardstick it is
// measured against (bench/largesets_bench.cpp).
//
// Where the plain algorithms would create a negative member or loop over values that
// AddThis drops anyway, the model follows the set's documented policy (negatives ignored)
// and starts its loops at the first value that can change anything; each such place says
// why the result is the same. ReduceIndex moves members with an unbounded add, the sound
// reading of "every member above n moves down by one".

#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/List.h"
#include "base/Text.h"
#include "tools/GeneralTools.h"

namespace fbu::model {

class ModelSet {
public:
  static constexpr std::int32_t kBound = 32000000;

  std::vector<std::uint32_t> data;
  std::vector<std::int32_t> nextHash;

  int ItemsCount() const { return static_cast<int>(data.size()); }
  int HashCount() const { return static_cast<int>(nextHash.size()); }
  std::int64_t Top() const { return 32 * static_cast<std::int64_t>(data.size()); }

  void Reset()
  {
    data.clear();
    nextHash.clear();
  }

  void AddThis(std::int64_t m)
  {
    if (m > kBound || m < 0) return;
    AddUnbounded(m);
  }
  void AddUnbounded(std::int64_t m)
  {
    if (m < 0) return;
    const auto w = static_cast<std::int32_t>(m >> 5);
    if (w >= ItemsCount()) data.resize(static_cast<std::size_t>(w) + 1, 0);
    if (std::find(nextHash.begin(), nextHash.end(), w) == nextHash.end()) nextHash.push_back(w);
    data[static_cast<std::size_t>(w)] |= 1U << (m & 31);
  }
  void ClearThis(std::int64_t m)
  {
    if (m < 0) return;
    const auto w = static_cast<std::size_t>(m >> 5);
    if (w >= data.size()) return;
    data[w] &= ~(1U << (m & 31));
    if (data[w] == 0) {
      const auto it = std::find(nextHash.begin(), nextHash.end(), static_cast<std::int32_t>(w));
      if (it != nextHash.end()) nextHash.erase(it);
    }
  }
  void SetThisAs(std::int64_t m, bool state)
  {
    if (state)
      AddThis(m);
    else
      ClearThis(m);
  }
  void InvertThis(std::int64_t m)
  {
    if (Has(m))
      ClearThis(m);
    else
      AddThis(m);
  }
  bool Has(std::int64_t m) const
  {
    if (m < 0) return false;
    const auto w = static_cast<std::size_t>(m >> 5);
    return w < data.size() && ((data[w] >> (m & 31)) & 1U) != 0;
  }
  bool HasOnly(std::int64_t m) const
  {
    if (m < 0) return false;
    return nextHash.size() == 1 && nextHash[0] == static_cast<std::int32_t>(m >> 5) &&
           data[static_cast<std::size_t>(m >> 5)] == 1U << (m & 31);
  }
  bool Empty() const { return nextHash.empty(); }

  bool GetMin(std::int32_t& min) const
  {
    if (Empty()) return false;
    for (std::int64_t m = 0; m <= Top(); ++m)
      if (Has(m)) {
        min = static_cast<std::int32_t>(m);
        break;
      }
    return true;
  }
  bool GetMax(std::int32_t& max) const
  {
    if (Empty()) return false;
    for (std::int64_t m = Top(); m >= 0; --m)
      if (Has(m)) {
        max = static_cast<std::int32_t>(m);
        break;
      }
    return true;
  }
  std::int32_t Max() const
  {
    std::int32_t result = -2147483647;
    GetMax(result);
    return result;
  }

  std::int64_t MembersCount() const
  {
    if (Empty()) return 0;
    std::int64_t n = 0;
    for (std::int64_t m = 0; m <= Top(); ++m) n += Has(m);
    return n;
  }
  std::int64_t IsectCount(const ModelSet& o) const
  {
    if (Empty() || o.Empty()) return 0;
    std::int64_t n = 0;
    for (std::int64_t m = 0; m <= std::min(Top(), o.Top()); ++m) n += Has(m) && o.Has(m);
    return n;
  }
  bool HasIsect(const ModelSet& o) const
  {
    if (Empty() || o.Empty()) return false;
    for (std::int64_t m = 0; m <= std::min(Top(), o.Top()); ++m)
      if (Has(m) && o.Has(m)) return true;
    return false;
  }
  std::int64_t UnionCount(const ModelSet& o) const
  {
    if (Empty() && o.Empty()) return 0;
    std::int64_t n = 0;
    for (std::int64_t m = 0; m <= std::max(Top(), o.Top()); ++m) n += Has(m) || o.Has(m);
    return n;
  }
  // The list form: emptied through its Clear, each member appended, capacity trimmed.
  void ExportToIntegerList(TList& z) const
  {
    z.Clear();
    if (Empty()) return;
    for (std::int64_t m = 0; m <= Top(); ++m)
      if (Has(m)) z.Add(static_cast<TPointer>(m));
    z.SetCapacity(z.Count());
  }
  std::vector<std::int64_t> Export() const
  {
    std::vector<std::int64_t> out;
    if (Empty()) return out;
    for (std::int64_t m = 0; m <= Top(); ++m)
      if (Has(m)) out.push_back(m);
    return out;
  }

  // From the top down, as the set does. Values above the bound and below 0 are dropped
  // by AddThis, so the loop runs over the clamped range only (the same adds happen).
  void AddRange(std::int64_t low, std::int64_t high)
  {
    if (low > high) return;
    for (std::int64_t m = std::min<std::int64_t>(high, kBound); m >= std::max<std::int64_t>(low, 0); --m) AddThis(m);
  }
  void AssignRange(std::int64_t low, std::int64_t high)
  {
    high = std::min<std::int64_t>(high, kBound);
    Reset();
    if (high < low) return;
    low = std::max<std::int64_t>(low, 0); // negatives ignored
    if (high < low) return;
    const auto top = static_cast<std::int32_t>(high >> 5);
    data.assign(static_cast<std::size_t>(top) + 1, 0);
    nextHash.push_back(top);
    std::int32_t previous = top;
    for (std::int64_t m = high; m >= low; --m) {
      const auto w = static_cast<std::int32_t>(m >> 5);
      if (w != previous) {
        nextHash.push_back(w);
        previous = w;
      }
      data[static_cast<std::size_t>(w)] |= 1U << (m & 31);
    }
  }
  void AssignRest(const ModelSet& other, std::int64_t from, std::int64_t upTo)
  {
    Reset();                                // when other is this set, it is now empty too
    from = std::max<std::int64_t>(from, 0); // negatives ignored
    if (from > upTo) return;
    bool first = true;
    std::int32_t last = -1;
    for (std::int64_t m = upTo; m >= from; --m) {
      if (other.Has(m)) continue;
      const auto w = static_cast<std::int32_t>(m >> 5);
      if (first) {
        data.assign(static_cast<std::size_t>(w) + 1, 0);
        nextHash.push_back(w);
        data[static_cast<std::size_t>(w)] = 1U << (m & 31);
        last = w;
        first = false;
      } else {
        if (w != last) {
          nextHash.push_back(w);
          last = w;
        }
        data[static_cast<std::size_t>(w)] |= 1U << (m & 31);
      }
    }
  }
  void AssignBitBuffer(const std::uint32_t* buff, std::int32_t intCount)
  {
    Reset();
    std::int32_t k = std::min<std::int32_t>(intCount, 1 << 26) - 1;
    while (k >= 0 && buff[k] == 0) --k;
    if (k < 0) return;
    data.assign(buff, buff + k + 1);
    for (std::int32_t j = 0; j <= k; ++j)
      if (buff[j]) nextHash.push_back(j);
  }
  void ReduceIndex(std::int64_t n)
  {
    if (Empty()) return;
    const std::int64_t max = Max();
    if (max < n + 1) return;
    // Has is false below 0, so the walk can start at 0 without changing anything.
    for (std::int64_t m = std::max<std::int64_t>(n + 1, 0); m <= max; ++m)
      if (Has(m)) {
        AddUnbounded(m - 1);
        ClearThis(m);
      }
  }

  void Isect(const ModelSet& o)
  {
    if (data.size() > o.data.size()) data.resize(o.data.size());
    for (std::size_t i = 0; i < nextHash.size();) {
      const auto w = static_cast<std::size_t>(nextHash[i]);
      if (w >= data.size()) {
        nextHash.erase(nextHash.begin() + static_cast<std::ptrdiff_t>(i));
      } else {
        data[w] &= o.data[w];
        ++i;
      }
    }
    DropZeroWords();
  }
  void Union(const ModelSet& o)
  {
    if (data.size() < o.data.size()) data.resize(o.data.size(), 0);
    for (std::size_t w = 0; w < o.data.size(); ++w) {
      data[w] |= o.data[w];
      if (data[w] && std::find(nextHash.begin(), nextHash.end(), static_cast<std::int32_t>(w)) == nextHash.end())
        nextHash.push_back(static_cast<std::int32_t>(w));
    }
  }
  void ClearSubSet(const ModelSet& o)
  {
    for (const std::int32_t w : nextHash)
      if (static_cast<std::size_t>(w) < o.data.size())
        data[static_cast<std::size_t>(w)] &= ~o.data[static_cast<std::size_t>(w)];
    DropZeroWords();
  }
  bool Subset(const ModelSet& o) const
  {
    if (HashCount() > o.HashCount()) return false;
    for (const std::int32_t w : nextHash) {
      const auto i = static_cast<std::size_t>(w);
      if (i >= o.data.size() || (o.data[i] & data[i]) != data[i]) return false;
    }
    return true;
  }
  bool Equal(const ModelSet& o) const
  {
    if (HashCount() != o.HashCount()) return false;
    for (const std::int32_t w : nextHash) {
      const auto i = static_cast<std::size_t>(w);
      if (i >= o.data.size() || o.data[i] != data[i]) return false;
    }
    return true;
  }

  Text ToLine(TextView separator) const
  {
    Text result;
    if (Empty()) return result;
    const std::int64_t last = Top();
    std::int64_t m = 0;
    while (m <= last) {
      if (!Has(m)) {
        ++m;
        continue;
      }
      std::int64_t e = m;
      while (Has(e + 1)) ++e;
      result += separator;
      result += IntToText(m);
      if (e != m) {
        result += u'-';
        result += IntToText(e);
      }
      m = e + 1;
    }
    result.erase(0, separator.size());
    return result;
  }
  bool FromString(TextView text, TextView separator)
  {
    bool result = true;
    Reset();
    Text rest(text);
    for (;;) {
      const std::size_t found = separator.empty() ? Text::npos : rest.find(separator);
      if (found == Text::npos && rest.empty()) break;
      Text item;
      if (found != Text::npos) {
        item = rest.substr(0, found);
        rest.erase(0, found + separator.size());
      } else {
        item = rest;
        rest.clear();
      }
      const std::size_t dash = item.find(u'-');
      std::int32_t low = 0, high = 0;
      if (dash != Text::npos) {
        if (TryTrimStrToInt(item.substr(0, dash), low) && TryTrimStrToInt(item.substr(dash + 1), high))
          AddRange(low, high);
        else
          result = false;
      } else if (TryTrimStrToInt(item, low)) {
        AddThis(low);
      } else {
        result = false;
      }
    }
    return result;
  }

private:
  void DropZeroWords()
  {
    for (std::size_t i = 0; i < nextHash.size();)
      if (data[static_cast<std::size_t>(nextHash[i])] == 0)
        nextHash.erase(nextHash.begin() + static_cast<std::ptrdiff_t>(i));
      else
        ++i;
  }
};

} // namespace fbu::model
