#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "tools/ThreadRegistry.h"

namespace fbu {
namespace {

TEST(ThreadRegistry, LifecycleMainThreadAndRelease)
{
  UnitSteps unit = ThreadRegistryUnit();
  EXPECT_EQ(RegisteredBlocks(), nullptr);
  unit.startup();
  ASSERT_NE(RegisteredBlocks(), nullptr);
  EXPECT_EQ(RegisteredBlocks()->Duplicates(), dupAccept);
  EXPECT_TRUE(IsMainThread());
  bool otherThreadIsMain = true;
  std::thread([&] { otherThreadIsMain = IsMainThread(); }).join();
  EXPECT_FALSE(otherThreadIsMain);

  // Two distinct blocks and one entered twice: each is freed exactly once (the
  // sanitizer build reports a double free or a leak otherwise).
  void* a = std::malloc(16);
  void* b = std::malloc(32);
  RegisteredBlocks()->Add(reinterpret_cast<TPointer>(a));
  RegisteredBlocks()->Add(reinterpret_cast<TPointer>(b));
  RegisteredBlocks()->Add(reinterpret_cast<TPointer>(a));
  EXPECT_EQ(RegisteredBlocks()->LockList().Count(), 3);
  RegisteredBlocks()->UnlockList();

  unit.shutdown();
  EXPECT_EQ(RegisteredBlocks(), nullptr);
}

TEST(ThreadRegistry, EmptyRegistryShutsDownQuietly)
{
  UnitSteps unit = ThreadRegistryUnit();
  unit.startup();
  FreeRegisteredBlocks();
  EXPECT_EQ(RegisteredBlocks()->LockList().Count(), 0);
  RegisteredBlocks()->UnlockList();
  unit.shutdown();
  EXPECT_NO_THROW(FreeRegisteredBlocks()); // nothing left to release
}

} // namespace
} // namespace fbu
