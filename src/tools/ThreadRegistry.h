#pragma once
// The thread registry: the main-thread test and RegisteredBlocks, a process-wide locked
// list of raw memory blocks (std::malloc) that the unit releases at shutdown.
//
// The list accepts repeats (dupAccept), so adding never searches it; shutdown releases
// each distinct address once, so a block entered twice is still freed only once.

#include "base/Startup.h"
#include "base/ThreadList.h"

namespace fbu {

// True on the thread that ran the unit's start-up step (the program's main thread).
bool IsMainThread() noexcept;

// The registry list; absent (nullptr) before start-up and after shutdown.
TThreadList* RegisteredBlocks() noexcept;

// Releases every block entered (each distinct address once), then clears the list; the
// lock is released also when a release fails.
void FreeRegisteredBlocks();

// Start-up: records the main thread and creates the empty registry. Shutdown:
// FreeRegisteredBlocks, the reference is made absent, then the list is destroyed.
UnitSteps ThreadRegistryUnit();

} // namespace fbu
