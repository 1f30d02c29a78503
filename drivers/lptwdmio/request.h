// The device's requests: batches of {address, value} pairs and the port query.
#pragma once

#include "port_bank.h"
#include "request_rules.h"

namespace lptwdmio {

// Checks the whole request before the first register access; a rejected
// request touches nothing.
DWORD HandleRequest(TPortBank& bank, DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength,
                    DWORD* returned);

}  // namespace lptwdmio
