// Requests at the limits of every code's shape and the verdict each gets:
// the one list the module's request tests, the Windows driver's tests and
// the fuzz target all read. A buffer goes with every length above 0, none
// with 0.
#pragma once

#include "request_rules.h"

#include <stdint.h>

#include <vector>

namespace lptwdmio {

struct TRequestCase {
  uint32_t Code;
  uint32_t InLength;
  uint32_t OutLength;
  TRequestVerdict Verdict;
};

namespace request_cases {

constexpr TRequestVerdict Accept = TRequestVerdict::Accept;
constexpr TRequestVerdict Invalid = TRequestVerdict::InvalidParameter;
constexpr TRequestVerdict Unknown = TRequestVerdict::UnknownCode;
constexpr uint32_t Reply = sizeof(TPortQueryReply);
constexpr uint32_t Far = sizeof(TSimulatedInputs);

// clang-format off
inline constexpr TRequestCase All[] = {
    // A batch: input and output of one even length, one pair to MaxBatchLength.
    {IoctlBatchRead, 2, 2, Accept},          {IoctlBatchWrite, 2, 2, Accept},
    {IoctlBatchRead, 4, 4, Accept},          {IoctlBatchWrite, 4, 4, Accept},
    {IoctlBatchRead, 4096, 4096, Accept},    {IoctlBatchWrite, 4096, 4096, Accept},
    {IoctlBatchRead, 0, 0, Invalid},         {IoctlBatchWrite, 0, 0, Invalid},
    {IoctlBatchRead, 1, 1, Invalid},         {IoctlBatchWrite, 1, 1, Invalid},
    {IoctlBatchRead, 3, 3, Invalid},         {IoctlBatchWrite, 3, 3, Invalid},
    {IoctlBatchRead, 5, 5, Invalid},         {IoctlBatchWrite, 5, 5, Invalid},
    {IoctlBatchRead, 4095, 4095, Invalid},   {IoctlBatchWrite, 4095, 4095, Invalid},
    {IoctlBatchRead, 4098, 4098, Invalid},   {IoctlBatchWrite, 4098, 4098, Invalid},
    {IoctlBatchRead, 4, 3, Invalid},         {IoctlBatchWrite, 4, 3, Invalid},
    {IoctlBatchRead, 4, 5, Invalid},         {IoctlBatchWrite, 4, 5, Invalid},
    {IoctlBatchRead, 2, 1, Invalid},         {IoctlBatchWrite, 2, 1, Invalid},
    {IoctlBatchRead, 2, 3, Invalid},         {IoctlBatchWrite, 2, 3, Invalid},
    {IoctlBatchRead, 2, 4, Invalid},         {IoctlBatchWrite, 2, 4, Invalid},
    {IoctlBatchRead, 4, 2, Invalid},         {IoctlBatchWrite, 4, 2, Invalid},
    {IoctlBatchRead, 4096, 4094, Invalid},   {IoctlBatchWrite, 4096, 4094, Invalid},
    {IoctlBatchRead, 2, 0, Invalid},         {IoctlBatchWrite, 2, 0, Invalid},
    {IoctlBatchRead, 0, 2, Invalid},         {IoctlBatchWrite, 0, 2, Invalid},
    // The query: no input, room for exactly one reply.
    {IoctlQueryPorts, 0, Reply, Accept},
    {IoctlQueryPorts, 0, Reply - 1, Invalid},
    {IoctlQueryPorts, 0, Reply + 1, Invalid},
    {IoctlQueryPorts, 0, 0, Invalid},
    {IoctlQueryPorts, 2, Reply, Invalid},
    {IoctlQueryPorts, 2, Reply - 1, Invalid},
    {IoctlQueryPorts, 2, Reply + 1, Invalid},
    {IoctlQueryPorts, 2, 0, Invalid},
    {IoctlQueryPorts, Reply, Reply, Invalid},
    // The far side: one record each way.
    {IoctlSimulatedInputs, Far, Far, Accept},
    {IoctlSimulatedInputs, Far - 1, Far, Invalid},
    {IoctlSimulatedInputs, Far + 1, Far, Invalid},
    {IoctlSimulatedInputs, Far, Far - 1, Invalid},
    {IoctlSimulatedInputs, Far, Far + 1, Invalid},
    {IoctlSimulatedInputs, Far, 0, Invalid},
    {IoctlSimulatedInputs, 0, Far, Invalid},
    {IoctlSimulatedInputs, 0, 0, Invalid},
    // An interrupt wait: slot, 0, a timeout of 16 bits in; the count out.
    {IoctlInterruptWait, 4, 4, Accept},
    {IoctlInterruptWait, 3, 4, Invalid},
    {IoctlInterruptWait, 5, 4, Invalid},
    {IoctlInterruptWait, 4, 3, Invalid},
    {IoctlInterruptWait, 4, 5, Invalid},
    {IoctlInterruptWait, 0, 4, Invalid},
    {IoctlInterruptWait, 4, 0, Invalid},
    {IoctlInterruptWait, 0, 0, Invalid},
    // Codes beside the known ones, whatever their buffers.
    {0x220054, 2, 2, Unknown},
    {0x22007C, 2, 2, Unknown},
    {0x22004C, 2, 2, Unknown},
    {IoctlBatchRead | 0x3, 2, 2, Unknown},
    {IoctlQueryPorts | 0x1, 0, Reply, Unknown},
};
// clang-format on

// A request's input of length bytes that its code would serve: pairs naming
// address for a batch, LPT2 for the far side and an interrupt wait (no time
// to wait), zeros otherwise.
inline std::vector<uint8_t> Input(uint32_t code, uint32_t length, uint8_t address) {
  std::vector<uint8_t> input(length, 0);
  if (code == IoctlBatchRead || code == IoctlBatchWrite)
    for (uint32_t i = 0; i < length; i += PairSize) input[i] = address;
  if ((code == IoctlSimulatedInputs || code == IoctlInterruptWait) && length > 0) input[0] = 1;
  return input;
}

}  // namespace request_cases

}  // namespace lptwdmio
