#include "base/ThreadList.h"

namespace fbu {

void TThreadList::Add(TPointer item)
{
  TThreadListLock lock(*this);
  if (duplicates_ == dupAccept || list_.IndexOf(item) == -1)
    list_.Add(item);
  else if (duplicates_ == dupError)
    list_.Error(u"List does not allow duplicates ($0%x)", static_cast<std::int64_t>(item));
}

void TThreadList::Remove(TPointer item)
{
  TThreadListLock lock(*this);
  list_.Remove(item);
}

void TThreadList::Clear()
{
  TThreadListLock lock(*this);
  list_.Clear();
}

TList& TThreadList::LockList()
{
  lock_.lock();
  return list_;
}

void TThreadList::UnlockList() noexcept
{
  lock_.unlock();
}

} // namespace fbu
