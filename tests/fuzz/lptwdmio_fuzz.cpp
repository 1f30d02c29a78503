// Fuzzes the driver module's request handling: the module's own DriverEntry
// registers its device with this host, which hands it to the emulation, and
// requests arrive both through DeviceIoControl and straight into the
// module's control operation. Every session reaches its ports through a
// checking bank that aborts on any register outside LPT1-LPT3's three and
// counts the accesses, so a refused request provably touched nothing, and
// that knows which ports its session holds, so a batch on a port another
// session holds must be refused as busy.
#include "backend.h"
#include "driver_abi.h"
#include "emulation_control.h"
#include "request_cases.h"
#include "request_rules.h"
#include "winapi.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

extern "C" uint32_t DriverEntry(PinlarkDriverObject* driver);

namespace {

using namespace lptwdmio;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "lptwdmio_fuzz: %s\n", what);
  std::abort();
}

void Require(bool condition, const char* what) {
  if (!condition) Fail(what);
}

unsigned long BankAccesses = 0;

class TCheckingBank;
std::set<const TCheckingBank*> LiveBanks;

class TCheckingBank : public TPortBank {
 public:
  explicit TCheckingBank(std::unique_ptr<TPortBank> inner) : Inner_(std::move(inner)) {
    LiveBanks.insert(this);
  }
  ~TCheckingBank() override { LiveBanks.erase(this); }
  TCheckingBank(const TCheckingBank&) = delete;
  TCheckingBank& operator=(const TCheckingBank&) = delete;

  DWORD Acquire(int slot) override {
    Require(slot >= 0 && slot < SlotCount, "acquiring a slot outside LPT1-LPT3");
    const DWORD status = Inner_->Acquire(slot);
    if (status == ERROR_SUCCESS) Held[slot] = true;
    return status;
  }
  DWORD SimulatedInputs(TSimulatedInputs& inputs) override {
    Require(inputs.Slot < SlotCount, "far side of a slot outside LPT1-LPT3");
    return Inner_->SimulatedInputs(inputs);
  }
  // The harness's own look at a register, uncounted.
  BYTE Peek(int slot, TRegister reg) {
    BYTE value = 0;
    Require(Acquire(slot) == ERROR_SUCCESS && Inner_->Read(slot, reg, value) == ERROR_SUCCESS,
            "the harness could not read a port");
    return value;
  }
  std::array<bool, SlotCount> Held{};

  DWORD Read(int slot, TRegister reg, BYTE& value) override {
    Check(slot, reg);
    return Inner_->Read(slot, reg, value);
  }
  DWORD Write(int slot, TRegister reg, BYTE value) override {
    Check(slot, reg);
    return Inner_->Write(slot, reg, value);
  }
  TPortQueryEntry Describe(int slot) const override {
    Require(slot >= 0 && slot < SlotCount, "query of a slot outside LPT1-LPT3");
    return Inner_->Describe(slot);
  }
  bool HasInterrupt(int slot) const override {
    Require(slot >= 0 && slot < SlotCount, "interrupt of a slot outside LPT1-LPT3");
    return Inner_->HasInterrupt(slot);
  }
  DWORD WaitInterrupt(int slot, uint32_t timeoutMs, uint32_t& count) override {
    Require(slot >= 0 && slot < SlotCount && timeoutMs <= MaxInterruptWaitMs, "an unchecked interrupt wait");
    return Inner_->WaitInterrupt(slot, timeoutMs, count);
  }
  DWORD BeginBatch() override { return Inner_->BeginBatch(); }
  DWORD EndBatch() override { return Inner_->EndBatch(); }

 private:
  static void Check(int slot, int reg) {
    Require(slot >= 0 && slot < SlotCount && reg >= 0 && reg < RegisterCount,
            "register access outside the three ports");
    ++BankAccesses;
  }
  std::unique_ptr<TPortBank> Inner_;
};

// The host side of the driver ABI. Sessions get a checking bank in front of
// the one the module chose (the module's TSession::Bank is the seam).
class THost {
 public:
  THost() {
    Object_.AbiVersion = PINLARK_DRIVER_ABI_VERSION;
    Object_.Host = this;
    Object_.RegisterDevice = &THost::Register;
    Require(DriverEntry(&Object_) == ERROR_SUCCESS && Registered_, "DriverEntry failed");
  }
  ~THost() {
    emulation::Reset();  // closes the handles' sessions
    for (void* session : Sessions_) Ops_.Close(session);
    Sessions_.clear();
    Object_.Unload(Object_.DriverContext);
  }
  THost(const THost&) = delete;
  THost& operator=(const THost&) = delete;

  DWORD Open(void** session) {
    const DWORD status = Ops_.Open(Ops_.Context, session);
    if (status != ERROR_SUCCESS) return status;
    auto& opened = *static_cast<TSession*>(*session);
    Require(opened.Bank != nullptr, "an open session without ports");
    opened.Bank = std::make_unique<TCheckingBank>(std::move(opened.Bank));
    Sessions_.insert(*session);
    LastOpened = *session;
    return status;
  }
  static TCheckingBank* BankOf(void* session) {
    return static_cast<TCheckingBank*>(static_cast<TSession*>(session)->Bank.get());
  }
  void* LastOpened = nullptr;
  DWORD Control(void* session, DWORD code, const void* in, DWORD inLength, void* out, DWORD outLength,
                DWORD* returned) {
    return Ops_.Control(session, code, in, inLength, out, outLength, returned);
  }
  void Close(void* session) {
    Ops_.Close(session);
    Sessions_.erase(session);
  }

 private:
  static uint32_t Register(void* host, const char* name, const PinlarkDeviceOps* ops) {
    auto& self = *static_cast<THost*>(host);
    Require(std::string(name) == "LptAccessAgent" && !self.Registered_, "unexpected device registration");
    self.Ops_ = *ops;
    self.Registered_ = true;
    emulation::TEmulatedDevice device;
    device.Open = [&self](void** session) { return self.Open(session); };
    device.Control = [&self](void* session, DWORD code, const void* in, DWORD inLength, void* out,
                             DWORD outLength, DWORD* returned) {
      return self.Control(session, code, in, inLength, out, outLength, returned);
    };
    device.Close = [&self](void* session) { self.Close(session); };
    return emulation::RegisterDevice(name, std::move(device));
  }

  PinlarkDriverObject Object_{};
  PinlarkDeviceOps Ops_{};
  bool Registered_ = false;
  std::set<void*> Sessions_;
};

constexpr std::array<BYTE, 9> ValidAddresses = {0x10, 0x11, 0x12, 0x20, 0x21, 0x22, 0x30, 0x31, 0x32};
constexpr DWORD Sentinel = 0xA5A5A5A5;

// The simulated bank the module serves: LPT1 with its plug, LPT2 open, LPT3 absent.
constexpr int OpenSlot = 1;
constexpr int AbsentSlot = 2;

const TCheckingBank* HolderOf(int slot) {
  for (const TCheckingBank* bank : LiveBanks)
    if (bank->Held[slot]) return bank;
  return nullptr;
}

// The status each request must get, for a request of the session whose bank
// is asker. Its shape is judged by the shared rule, which the request tests
// hold to the shared cases; what the shape carries is written out here.
DWORD ExpectedStatus(const TCheckingBank* asker, DWORD code, const BYTE* in, DWORD inLength, const BYTE* out,
                     DWORD outLength) {
  if (const DWORD refused = VerdictError(CheckRequestShape(code, in, inLength, out, outLength)))
    return refused;
  if (code == IoctlQueryPorts) return ERROR_SUCCESS;
  if (code == IoctlSimulatedInputs) {
    const bool valid = in[0] < 3 && in[1] <= 1 && !(in[2] & 0xE0) && !(in[3] & ~in[2]);
    if (!valid) return ERROR_INVALID_PARAMETER;
    return in[0] == OpenSlot ? ERROR_SUCCESS : ERROR_NOT_SUPPORTED;  // no holding needed
  }
  if (code == IoctlInterruptWait) {
    const bool valid = in[0] < 3 && in[1] == 0 && (in[2] | in[3] << 8) <= 1000;
    return valid ? ERROR_NOT_SUPPORTED : ERROR_INVALID_PARAMETER;  // simulated ports have no interrupt
  }
  bool named[SlotCount] = {};
  for (DWORD i = 0; i < inLength; i += 2) {
    bool valid = false;
    for (BYTE address : ValidAddresses) valid = valid || in[i] == address;
    if (!valid) return ERROR_INVALID_PARAMETER;
    named[(in[i] >> 4) - 1] = true;
  }
  // A port another session holds is busy; an absent one is anyone's.
  for (int slot = 0; slot < SlotCount; ++slot) {
    const TCheckingBank* holder = HolderOf(slot);
    if (named[slot] && slot != AbsentSlot && holder && holder != asker) return ERROR_BUSY;
  }
  return ERROR_SUCCESS;
}

// A buffer of exactly its length, so AddressSanitizer sees any access past it.
struct TBuffer {
  std::unique_ptr<BYTE[]> Bytes;
  DWORD Length = 0;
  BYTE* Data() { return Bytes.get(); }
};

class TRun {
 public:
  TRun(THost& host, FuzzedDataProvider& input) : Host_(host), Input_(input) {
    Require(Host_.Open(&Observer_) == ERROR_SUCCESS, "observer session did not open");
  }
  ~TRun() { Host_.Close(Observer_); }
  TRun(const TRun&) = delete;
  TRun& operator=(const TRun&) = delete;

  void Go() {
    for (int step = 0; step < 64 && Input_.remaining_bytes() > 0; ++step) {
      switch (Input_.ConsumeIntegralInRange<int>(0, 7)) {
        case 0: OpenHandle(); break;
        case 1: CloseSomeHandle(); break;
        case 2: OpenSession(); break;
        case 3: CloseSomeSession(); break;
        case 4:
        case 5: RequestThroughDeviceIoControl(); break;
        default: RequestStraight(); break;
      }
    }
  }

 private:
  struct TRequest {
    DWORD Code = 0;
    TBuffer In, Out;
    bool Shared = false;
    const BYTE* InPointer() { return In.Data(); }
    BYTE* OutPointer() { return Shared ? In.Data() : Out.Data(); }
    DWORD OutLength() const { return Shared ? In.Length : Out.Length; }
  };

  DWORD PickCode() {
    static constexpr DWORD Real[] = {IoctlBatchRead, IoctlBatchWrite, IoctlQueryPorts, IoctlSimulatedInputs,
                                     IoctlInterruptWait};
    const DWORD real = Real[Input_.ConsumeIntegralInRange<int>(0, 4)];
    switch (Input_.ConsumeIntegralInRange<int>(0, 7)) {
      case 0: return real + 1;                                                  // method bits
      case 1: return real + 4;                                                  // next function
      case 2: return real - 4;                                                  // previous function
      case 3: return real ^ (1u << Input_.ConsumeIntegralInRange<int>(0, 31));  // one bit off
      case 4: return Input_.ConsumeIntegral<uint32_t>();                        // anything
      default: return real;
    }
  }

  BYTE PickAddress() {
    if (Input_.ConsumeIntegralInRange<int>(0, 7) != 0)
      return ValidAddresses[Input_.ConsumeIntegralInRange<std::size_t>(0, ValidAddresses.size() - 1)];
    static constexpr BYTE NearMisses[] = {0x00, 0x0F, 0x13, 0x1F, 0x23, 0x33, 0x40, 0x90, 0xFF};
    return Input_.ConsumeBool() ? NearMisses[Input_.ConsumeIntegralInRange<int>(0, 8)]
                                : Input_.ConsumeIntegral<BYTE>();
  }

  DWORD PickLength(DWORD pairs) {
    switch (Input_.ConsumeIntegralInRange<int>(0, 5)) {
      case 0: return 0;
      case 1: return pairs * 2 + 1;
      case 2: return pairs * 2 - (pairs ? 1 : 0);
      case 3: return Input_.ConsumeBool() ? sizeof(TPortQueryReply) : sizeof(TSimulatedInputs);
      case 4: return Input_.ConsumeIntegralInRange<DWORD>(0, 600);
      default: return pairs * 2;
    }
  }

  // One time in sixteen a null pointer that keeps its length; otherwise
  // exactly Length bytes, with likely addresses at even offsets for pairs.
  TBuffer MakeBuffer(DWORD length, bool fillPairs) {
    TBuffer buffer;
    buffer.Length = length;
    if (Input_.ConsumeIntegralInRange<int>(0, 15) == 0) return buffer;  // null
    buffer.Bytes.reset(new BYTE[length]);
    for (DWORD i = 0; i < length; ++i)
      buffer.Bytes[i] = fillPairs && i % 2 == 0 ? PickAddress() : Input_.ConsumeIntegral<BYTE>();
    return buffer;
  }

  // One time in four a shape of the shared cases, with the content the
  // input gives it; otherwise a shape near the real ones.
  TRequest MakeRequest() {
    TRequest request;
    if (Input_.ConsumeIntegralInRange<int>(0, 3) == 0) {
      const auto& cases = request_cases::All;
      const TRequestCase& c = cases[Input_.ConsumeIntegralInRange<std::size_t>(0, std::size(cases) - 1)];
      request.Code = c.Code;
      request.In = MakeBuffer(c.InLength, true);
      request.Out = MakeBuffer(c.OutLength, false);
      return request;
    }
    request.Code = PickCode();
    const DWORD pairs = Input_.ConsumeIntegralInRange<DWORD>(0, 40);
    request.In =
        MakeBuffer(request.Code == IoctlQueryPorts && Input_.ConsumeBool() ? 0 : PickLength(pairs), true);
    request.Shared = Input_.ConsumeBool();
    if (!request.Shared) request.Out = MakeBuffer(PickLength(pairs), false);
    return request;
  }

  // Every register, each port read through the session holding it, or
  // through a session of the harness's own that holds it only meanwhile.
  std::array<BYTE, ValidAddresses.size()> Snapshot() {
    std::array<BYTE, ValidAddresses.size()> values{};
    void* own = nullptr;
    for (int slot = 0; slot < SlotCount; ++slot) {
      TCheckingBank* holder = const_cast<TCheckingBank*>(HolderOf(slot));
      if (!holder) {
        if (!own) Require(Host_.Open(&own) == ERROR_SUCCESS, "the harness's session did not open");
        holder = THost::BankOf(own);
      }
      for (int reg = 0; reg < RegisterCount; ++reg)
        values[slot * 3 + reg] = holder->Peek(slot, TRegister(reg));
    }
    if (own) Host_.Close(own);
    return values;
  }

  // What a request left behind, and what it had to leave.
  struct TOutcome {
    DWORD Status = ERROR_SUCCESS;
    DWORD Expected = ERROR_SUCCESS;
    DWORD* Returned = nullptr;
    DWORD RefusedCount = 0;  // 0, or Sentinel when the call never reached the device
  };

  // A refused request changed nothing; an accepted one did what its code says.
  void Verify(const TCheckingBank* asker, TRequest& request, const TOutcome& outcome,
              const std::vector<BYTE>& inBefore, const std::vector<BYTE>& outBefore, unsigned long accesses,
              const std::array<BYTE, ValidAddresses.size()>& registersBefore) {
    Require(outcome.Status == outcome.Expected, "the answer differs from the request rules");
    if (outcome.Status != ERROR_SUCCESS) {
      Require(std::equal(inBefore.begin(), inBefore.end(), request.In.Data()),
              "refused request changed input");
      if (!request.Shared)
        Require(std::equal(outBefore.begin(), outBefore.end(), request.Out.Data()),
                "refused request changed output");
      Require(!outcome.Returned || *outcome.Returned == outcome.RefusedCount,
              "refused request reported bytes");
      Require(BankAccesses == accesses, "refused request touched a register");
      Require(Snapshot() == registersBefore, "refused request changed a register");
      return;
    }
    const DWORD length = request.OutLength();
    Require(!outcome.Returned || *outcome.Returned == length, "accepted request reported a wrong count");
    if (request.Code == IoctlQueryPorts) {
      TPortQueryReply reply{};
      std::memcpy(&reply, request.OutPointer(), sizeof reply);
      for (int slot = 0; slot < SlotCount; ++slot) {
        const TPortQueryEntry& entry = reply.Ports[slot];
        Require((entry.Flags & ~PortFlagsKnown) == 0 && (entry.Holder == 0 || (entry.Flags & PortHeld)),
                "query reply with unknown bits");
        const TCheckingBank* holder = HolderOf(slot);
        const bool heldElsewhere = slot != AbsentSlot && holder && holder != asker;
        Require(bool(entry.Flags & PortHeld) == heldElsewhere, "the query says held where it is not, or not");
        Require(!heldElsewhere || entry.Holder == uint32_t(::getpid()), "the query names the wrong holder");
      }
      Require(BankAccesses == accesses, "the query touched a register");
      return;
    }
    if (request.Code == IoctlSimulatedInputs) {
      const BYTE* out = request.OutPointer();
      Require(BankAccesses == accesses, "the far side touched a register");
      Require(out[0] == inBefore[0] && out[1] == inBefore[1], "the far side's reply names another request");
      Require(!inBefore[1] || (out[2] == inBefore[2] && out[3] == inBefore[3]), "the far side was not taken");
      return;
    }
    Require(BankAccesses == accesses + length / 2, "a batch touched other than one register per pair");
    for (DWORD i = 0; i < length; i += 2) {
      Require(request.OutPointer()[i] == inBefore[i], "a batch changed an address byte");
      if (request.Code == IoctlBatchWrite)
        Require(request.OutPointer()[i + 1] == inBefore[i + 1], "a write changed a value byte");
    }
  }

  static std::vector<BYTE> Copy(TBuffer& buffer) {
    return buffer.Data() ? std::vector<BYTE>(buffer.Data(), buffer.Data() + buffer.Length)
                         : std::vector<BYTE>();
  }

  void Issue(bool throughEmulation, HANDLE handle, void* session) {
    TRequest request = MakeRequest();
    const std::vector<BYTE> inBefore = Copy(request.In);
    const std::vector<BYTE> outBefore = Copy(request.Out);
    const auto registersBefore = Snapshot();
    const unsigned long accesses = BankAccesses;
    DWORD returned = Sentinel;
    TOutcome outcome;
    outcome.Returned = Input_.ConsumeIntegralInRange<int>(0, 15) == 0 ? nullptr : &returned;
    const auto found = HandleSessions_.find(handle);
    const TCheckingBank* asker = THost::BankOf(
        throughEmulation ? (found != HandleSessions_.end() ? found->second : Observer_) : session);
    outcome.Expected = ExpectedStatus(asker, request.Code, request.InPointer(), request.In.Length,
                                      request.OutPointer(), request.OutLength());
    if (throughEmulation) {
      const bool open = std::find(Handles_.begin(), Handles_.end(), handle) != Handles_.end();
      const bool wellFormed = outcome.Returned && (request.InPointer() || !request.In.Length) &&
                              (request.OutPointer() || !request.OutLength());
      if (!open || !wellFormed) {
        outcome.Expected = open ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE;
        outcome.RefusedCount = Sentinel;
      }
      SetLastError(ERROR_SUCCESS);
      const BOOL ok = DeviceIoControl(handle, request.Code, request.In.Data(), request.In.Length,
                                      request.OutPointer(), request.OutLength(), outcome.Returned, nullptr);
      outcome.Status = GetLastError();
      Require((ok != FALSE) == (outcome.Status == ERROR_SUCCESS), "result and last error disagree");
    } else {
      outcome.Status = Host_.Control(session, request.Code, request.In.Data(), request.In.Length,
                                     request.OutPointer(), request.OutLength(), outcome.Returned);
    }
    Verify(asker, request, outcome, inBefore, outBefore, accesses, registersBefore);
  }

  void OpenHandle() {
    HANDLE handle = CreateFileA(R"(\\.\LptAccessAgent)", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    Require(handle != INVALID_HANDLE_VALUE, "the device did not open");
    Handles_.push_back(handle);
    HandleSessions_[handle] = Host_.LastOpened;
  }
  void CloseSomeHandle() {
    if (Handles_.empty()) return;
    const std::size_t index = Input_.ConsumeIntegralInRange<std::size_t>(0, Handles_.size() - 1);
    Require(CloseHandle(Handles_[index]), "close failed");
    HandleSessions_.erase(Handles_[index]);
    Closed_.push_back(Handles_[index]);
    Handles_.erase(Handles_.begin() + index);
  }
  void OpenSession() {
    void* session = nullptr;
    Require(Host_.Open(&session) == ERROR_SUCCESS, "a session did not open");
    Sessions_.push_back(session);
  }
  void CloseSomeSession() {
    if (Sessions_.empty()) return;
    const std::size_t index = Input_.ConsumeIntegralInRange<std::size_t>(0, Sessions_.size() - 1);
    Host_.Close(Sessions_[index]);
    Sessions_.erase(Sessions_.begin() + index);
  }
  void RequestThroughDeviceIoControl() {
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (!Handles_.empty() && Input_.ConsumeIntegralInRange<int>(0, 7) != 0)
      handle = Handles_[Input_.ConsumeIntegralInRange<std::size_t>(0, Handles_.size() - 1)];
    else if (!Closed_.empty() && Input_.ConsumeBool())
      handle = Closed_.back();  // handle values are never reused
    Issue(true, handle, nullptr);
  }
  void RequestStraight() {
    void* session = Observer_;
    if (!Sessions_.empty() && Input_.ConsumeBool())
      session = Sessions_[Input_.ConsumeIntegralInRange<std::size_t>(0, Sessions_.size() - 1)];
    Issue(false, INVALID_HANDLE_VALUE, session);
  }

  THost& Host_;
  FuzzedDataProvider& Input_;
  void* Observer_ = nullptr;
  std::vector<HANDLE> Handles_;
  std::map<HANDLE, void*> HandleSessions_;
  std::vector<HANDLE> Closed_;
  std::vector<void*> Sessions_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ::setenv("LPTWDMIO_BACKEND", "simulated", 1);
  // A bank of the run's own, never the user's.
  static std::string simulation =
      (std::filesystem::temp_directory_path() / ("lptwdmio-fuzz-" + std::to_string(::getpid()))).string();
  ::setenv("LPTWDMIO_SIM_DIR", simulation.c_str(), 1);
  // A port another session holds is busy at once: the run never waits.
  ::setenv("LPTWDMIO_WAIT_MS", "0", 1);
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(simulation, ignored);
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  emulation::Reset();
  FuzzedDataProvider input(data, size);
  THost host;
  {
    TRun run(host, input);
    run.Go();
  }
  return 0;
}
