#pragma once
// TThreadList: a TList guarded by its own (recursive) lock, with a duplicates policy
// applied by Add. Every access to the entries goes through LockList/UnlockList or the
// locked Add, Remove and Clear.

#include <mutex>

#include "base/List.h"

namespace fbu {

class TThreadList {
public:
  TThreadList() = default;
  TThreadList(const TThreadList&) = delete;
  TThreadList& operator=(const TThreadList&) = delete;

  // dupIgnore skips an address already present, dupError raises
  // "List does not allow duplicates ($0%x)", dupAccept adds without searching.
  void Add(TPointer item);
  void Remove(TPointer item);
  void Clear();

  TList& LockList();
  void UnlockList() noexcept;

  TDuplicates Duplicates() const noexcept { return duplicates_; }
  void SetDuplicates(TDuplicates value) noexcept { duplicates_ = value; }

private:
  TList list_;
  std::recursive_mutex lock_;
  TDuplicates duplicates_ = dupIgnore;
};

// Holds a TThreadList's lock for one scope.
class TThreadListLock {
public:
  explicit TThreadListLock(TThreadList& list) : owner_(list), list_(list.LockList()) {}
  ~TThreadListLock() { owner_.UnlockList(); }
  TThreadListLock(const TThreadListLock&) = delete;
  TThreadListLock& operator=(const TThreadListLock&) = delete;
  TList& List() noexcept { return list_; }

private:
  TThreadList& owner_;
  TList& list_;
};

} // namespace fbu
