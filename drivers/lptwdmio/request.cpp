#include "request.h"

#include <cstring>
#include <vector>

namespace lptwdmio {

namespace {

struct TPair {
  BYTE Address;
  BYTE Value;
};
static_assert(sizeof(TPair) == PairSize);

TRegister RegisterOf(BYTE address) { return TRegister(RegisterOfAddress(address)); }

DWORD TransferPairs(TPortBank& bank, bool read, std::vector<TPair>& pairs) {
  for (TPair& pair : pairs) {
    const int slot = SlotOfAddress(pair.Address);
    const DWORD status = read ? bank.Read(slot, RegisterOf(pair.Address), pair.Value)
                              : bank.Write(slot, RegisterOf(pair.Address), pair.Value);
    if (status != ERROR_SUCCESS) return status;
  }
  return ERROR_SUCCESS;
}

DWORD Transfer(TPortBank& bank, bool read, std::vector<TPair>& pairs) {
  if (const DWORD status = bank.BeginBatch(); status != ERROR_SUCCESS) return status;
  const DWORD status = TransferPairs(bank, read, pairs);
  const DWORD ended = bank.EndBatch();
  return status != ERROR_SUCCESS ? status : ended;
}

DWORD ServeBatch(TPortBank& bank, DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength,
                 DWORD* returned) {
  // A private copy: the caller's input and output are usually the same buffer.
  std::vector<TPair> pairs(inLength / PairSize);
  std::memcpy(pairs.data(), in, inLength);
  if (!AreValidPairs(reinterpret_cast<const uint8_t*>(pairs.data()), inLength))
    return ERROR_INVALID_PARAMETER;
  if (const DWORD status = Transfer(bank, code == IoctlBatchRead, pairs); status != ERROR_SUCCESS)
    return status;
  std::memcpy(out, pairs.data(), outLength);
  if (returned) *returned = outLength;
  return ERROR_SUCCESS;
}

DWORD ServeQuery(const TPortBank& bank, void* out, DWORD* returned) {
  TPortQueryReply reply{};
  for (int slot = 0; slot < SlotCount; ++slot) reply.Ports[slot] = bank.Describe(slot);
  std::memcpy(out, &reply, sizeof reply);
  if (returned) *returned = sizeof reply;
  return ERROR_SUCCESS;
}

}  // namespace

DWORD HandleRequest(TPortBank& bank, DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength,
                    DWORD* returned) {
  if (returned) *returned = 0;
  switch (CheckRequestShape(code, in, inLength, out, outLength)) {
    case TRequestVerdict::UnknownCode: return ERROR_INVALID_FUNCTION;
    case TRequestVerdict::InvalidParameter: return ERROR_INVALID_PARAMETER;
    case TRequestVerdict::Accept: break;
  }
  if (code == IoctlQueryPorts) return ServeQuery(bank, out, returned);
  return ServeBatch(bank, code, in, inLength, out, outLength, returned);
}

}  // namespace lptwdmio
