// The test binary's own operator new and delete, which see every allocation the loaded
// modules' code makes through them: they count those made on the thread that armed them,
// refuse one of them on request, and keep count of the modules' blocks still live on any
// thread, so that a test sees a leak at once. Linked only into the tests that want it.
// Arm, refuse and read on the test's main thread; the operators run on every thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tide::testing::allocations {

// Notes where the code of the loaded Tidelisten and Tidespeak modules lies; an
// allocation counts as theirs when it is called from there. Call after each load.
void WatchLoadedModules();

// From now on, counts the modules' allocations on this thread, from 0; Disarm ends it.
void Arm();
void Disarm();
// The nth counted allocation from now (1 the next one) fails: null from the nothrow
// forms, std::bad_alloc from the others. 0 refuses none.
void RefuseNumber(uint64_t n);
// The next counted allocation of at least `bytes` bytes fails.
void RefuseNextOfAtLeast(size_t bytes);

// Counts an allocation the modules asked of another allocator (the host's memory) in
// the same sequence, when armed on this thread; true when it is the one to refuse.
bool CountAllocation(size_t bytes);

uint64_t Counted();
uint64_t Refused();
// Blocks the modules' code allocated and nobody has freed yet, on any thread.
int64_t LiveModuleBlocks();

}  // namespace tide::testing::allocations
