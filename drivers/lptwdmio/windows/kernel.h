// The kernel headers, in the one order the kernel-mode units include them.
#pragma once

// wdm.h defines these two itself; the compiler's intrinsics header must not
// declare them a second time, differently, in C++.
#define __INTRINSIC_DEFINED_InterlockedBitTestAndSet
#define __INTRINSIC_DEFINED_InterlockedBitTestAndReset
#include <ntifs.h>  // ntddk.h and the object and security calls
#include <parallel.h>

namespace lptwdmio::kernel {

// Pool tag of every allocation ("Lpta" in a pool dump).
constexpr ULONG PoolTag = 0x6174704C;

}  // namespace lptwdmio::kernel
