// The device's two requests: batches of {address, value} pairs.
#pragma once

#include "port_bank.h"

#include <cstdint>

namespace lptwdmio {

constexpr DWORD IoctlBatchRead = 0x220050;
constexpr DWORD IoctlBatchWrite = 0x220060;

// True for 0x10-0x12, 0x20-0x22 and 0x30-0x32; nothing else is ever touched.
bool IsValidAddress(BYTE address);

// Checks the whole request before the first register access; a rejected
// request touches nothing.
DWORD HandleRequest(TPortBank& bank, DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength,
                    DWORD* returned);

}  // namespace lptwdmio
