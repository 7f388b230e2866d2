#include "tools/ThreadRegistry.h"

#include <atomic>
#include <cstdlib>
#include <memory>
#include <unordered_set>

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>
#endif

namespace fbu {

namespace {

#ifdef _WIN32
using ThreadId = DWORD;
ThreadId CurrentThreadId() noexcept
{
  return GetCurrentThreadId();
}
#else
using ThreadId = pthread_t;
ThreadId CurrentThreadId() noexcept
{
  return pthread_self();
}
#endif

std::atomic<bool> mainThreadKnown{false};
ThreadId mainThread{};
std::unique_ptr<TThreadList> registryOwner;
std::atomic<TThreadList*> registry{nullptr};

bool SameThread(ThreadId a, ThreadId b) noexcept
{
#ifdef _WIN32
  return a == b;
#else
  return pthread_equal(a, b) != 0;
#endif
}

} // namespace

bool IsMainThread() noexcept
{
  return mainThreadKnown.load(std::memory_order_acquire) && SameThread(CurrentThreadId(), mainThread);
}

TThreadList* RegisteredBlocks() noexcept
{
  return registry.load(std::memory_order_acquire);
}

void FreeRegisteredBlocks()
{
  TThreadList* list = RegisteredBlocks();
  if (!list) return;
  TThreadListLock lock(*list);
  TList& blocks = lock.List();
  std::unordered_set<TPointer> released;
  for (int i = 0; i < blocks.Count(); ++i) {
    const TPointer block = blocks.Get(i);
    if (released.insert(block).second) std::free(reinterpret_cast<void*>(block));
  }
  blocks.Clear();
}

UnitSteps ThreadRegistryUnit()
{
  return UnitSteps{
      "ThreadRegistry",
      {},
      [] {
        mainThread = CurrentThreadId();
        mainThreadKnown.store(true, std::memory_order_release);
        registryOwner = std::make_unique<TThreadList>();
        registryOwner->SetDuplicates(dupAccept);
        registry.store(registryOwner.get(), std::memory_order_release);
      },
      [] {
        FreeRegisteredBlocks();
        registry.store(nullptr, std::memory_order_release);
        registryOwner.reset();
      },
  };
}

} // namespace fbu
