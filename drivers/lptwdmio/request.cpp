#include "request.h"

#include <cstring>

namespace lptwdmio {

namespace {

DWORD ServeBatch(TPortBank& bank, DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength,
                 DWORD* returned) {
  // A private copy: the caller's input and output are usually the same
  // buffer. Batches are bounded, so it fits on the stack.
  uint8_t pairs[MaxBatchLength];
  std::memcpy(pairs, in, inLength);
  if (!AreValidPairs(pairs, inLength)) return ERROR_INVALID_PARAMETER;
  if (const DWORD status = TransferPairs(bank, code == IoctlBatchRead, pairs, inLength);
      status != ERROR_SUCCESS)
    return status;
  std::memcpy(out, pairs, outLength);
  if (returned) *returned = outLength;
  return ERROR_SUCCESS;
}

DWORD ServeQuery(const TPortBank& bank, void* out, DWORD* returned) {
  const TPortQueryReply reply = DescribePorts(bank);
  std::memcpy(out, &reply, sizeof reply);
  if (returned) *returned = sizeof reply;
  return ERROR_SUCCESS;
}

DWORD ServeSimulatedInputs(TPortBank& bank, const void* in, void* out, DWORD* returned) {
  TSimulatedInputs inputs;
  std::memcpy(&inputs, in, sizeof inputs);
  if (!IsValidSimulatedInputs(inputs)) return ERROR_INVALID_PARAMETER;
  if (const DWORD status = bank.SimulatedInputs(inputs); status != ERROR_SUCCESS) return status;
  std::memcpy(out, &inputs, sizeof inputs);
  if (returned) *returned = sizeof inputs;
  return ERROR_SUCCESS;
}

DWORD ServeWait(TPortBank& bank, const void* in, void* out, DWORD* returned) {
  TInterruptWait wait;
  std::memcpy(&wait, in, sizeof wait);
  uint8_t reply[4];
  if (const DWORD status = ServeInterruptWait(bank, wait, reply); status != ERROR_SUCCESS) return status;
  std::memcpy(out, reply, sizeof reply);
  if (returned) *returned = sizeof reply;
  return ERROR_SUCCESS;
}

}  // namespace

DWORD HandleRequest(TPortBank& bank, DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength,
                    DWORD* returned) {
  if (returned) *returned = 0;
  if (const DWORD refused = VerdictError(CheckRequestShape(code, in, inLength, out, outLength)))
    return refused;
  if (code == IoctlQueryPorts) return ServeQuery(bank, out, returned);
  if (code == IoctlSimulatedInputs) return ServeSimulatedInputs(bank, in, out, returned);
  if (code == IoctlInterruptWait) return ServeWait(bank, in, out, returned);
  return ServeBatch(bank, code, in, inLength, out, outLength, returned);
}

}  // namespace lptwdmio
