// What compiled C++ expects of its runtime, for an image without one: the
// delete operators virtual destructors name, over the kernel's pool, and the
// pure-virtual trap.
#include "kernel.h"

using lptwdmio::kernel::PoolTag;

void operator delete(void* block) noexcept {
  if (block) ExFreePoolWithTag(block, PoolTag);
}

void operator delete(void* block, decltype(sizeof 0)) noexcept { operator delete(block); }

namespace {

// Our own stop code: a call through an unfinished object is a defect, and in
// the kernel there is nothing sound to go on with.
constexpr ULONG PureVirtualCall = 0xE0C0FFEE;

}  // namespace

extern "C" void __cxa_pure_virtual() { KeBugCheckEx(PureVirtualCall, 0, 0, 0, 0); }
