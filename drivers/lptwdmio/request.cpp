#include "request.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace lptwdmio {

namespace {

struct TPair {
  BYTE Address;
  BYTE Value;
};
static_assert(sizeof(TPair) == 2);

int SlotOf(BYTE address) { return (address >> 4) - 1; }
TRegister RegisterOf(BYTE address) { return TRegister(address & 0x0F); }

bool ValidShape(const void* in, DWORD inLength, const void* out, DWORD outLength) {
  return in && out && inLength != 0 && inLength % sizeof(TPair) == 0 && inLength == outLength;
}

DWORD Transfer(TPortBank& bank, bool read, std::vector<TPair>& pairs) {
  for (TPair& pair : pairs) {
    const DWORD status = read ? bank.Read(SlotOf(pair.Address), RegisterOf(pair.Address), pair.Value)
                              : bank.Write(SlotOf(pair.Address), RegisterOf(pair.Address), pair.Value);
    if (status != ERROR_SUCCESS) return status;
  }
  return ERROR_SUCCESS;
}

}  // namespace

bool IsValidAddress(BYTE address) {
  const int slot = SlotOf(address);
  return slot >= 0 && slot < SlotCount && RegisterOf(address) < RegisterCount;
}

DWORD HandleRequest(TPortBank& bank, DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength,
                    DWORD* returned) {
  if (returned) *returned = 0;
  if (code != IoctlBatchRead && code != IoctlBatchWrite) return ERROR_INVALID_FUNCTION;
  if (!ValidShape(in, inLength, out, outLength)) return ERROR_INVALID_PARAMETER;
  // A private copy: the caller's input and output are usually the same buffer.
  std::vector<TPair> pairs(inLength / sizeof(TPair));
  std::memcpy(pairs.data(), in, inLength);
  if (!std::all_of(pairs.begin(), pairs.end(), [](const TPair& p) { return IsValidAddress(p.Address); }))
    return ERROR_INVALID_PARAMETER;
  if (const DWORD status = Transfer(bank, code == IoctlBatchRead, pairs); status != ERROR_SUCCESS)
    return status;
  std::memcpy(out, pairs.data(), outLength);
  if (returned) *returned = outLength;
  return ERROR_SUCCESS;
}

}  // namespace lptwdmio
