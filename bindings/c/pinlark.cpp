// The C library: the port connection and the tools' line operations behind
// a small C interface, for the Python module and any other language.
#include "pinlark.h"

#include "library_file.h"
#include "line_wait.h"
#include "pinlark_version.h"
#include "port_text.h"
#include "pulse.h"
#include "winapi.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <memory>
#include <new>
#include <string>

using namespace lptctl;

struct pinlark_port {
  pinlark_port(const TLptConnectionOptions& options, BYTE port)
      : Connection(options), Lines(Connection, port) {}

  TLptPortConnection Connection;
  TLinePort Lines;
  std::atomic<bool> Cancelled{false};
};

namespace {

constexpr int Ok = PINLARK_OK;

struct TLastCall {
  int Error = PINLARK_OK;
  DWORD System = 0;
  std::string Message;
};

thread_local TLastCall Last;
thread_local std::string Advice;

int Fail(int error, std::string message, DWORD system = 0) {
  Last = {error, system, std::move(message)};
  return error;
}

// Nothing may unwind into the caller, which may not be C++ at all.
template <typename F>
int Guarded(F&& body) {
  Last = {};
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return Fail(PINLARK_E_INTERNAL, "out of memory");
  } catch (const std::exception& failure) {
    return Fail(PINLARK_E_INTERNAL, failure.what());
  } catch (...) {
    return Fail(PINLARK_E_INTERNAL, "unexpected failure");
  }
}

int MissingArgument() { return Fail(PINLARK_E_ARGUMENT, "a required argument is NULL"); }

// The driver module beside this library, opened as a tool opens it: a
// library that only looks never writes.
TLptConnectionOptions Options() {
  TLptConnectionOptions options;
  options.EchoProbe = false;
  const std::string path = pinlark::LibraryPath();
  options.DriverFolder = path.substr(0, path.find_last_of("\\/") + 1);
  return options;
}

std::string Code(DWORD code) { return " (error " + std::to_string(code) + ")"; }

int ConnectionFailed(DWORD code) {
  return Fail(PINLARK_E_CONNECTION, "cannot open the port connection" + Code(code), code);
}

// A request that failed: another program holds the port, or it did not take it.
int TransferFailed(const std::string& doing, BYTE port, DWORD code) {
  if (code == ERROR_BUSY) return Fail(PINLARK_E_HELD, PortName(port) + " is held by another program", code);
  return Fail(PINLARK_E_TRANSFER, doing + ' ' + PortName(port) + " failed" + Code(code), code);
}

const TLine* FindNamedLine(const char* name) {
  const TLine* line = FindLine(name);
  if (!line) Fail(PINLARK_E_LINE, "'" + std::string(name) + "' is no line");
  return line;
}

const TLine* FindOutputLine(const char* name) {
  const TLine* line = FindNamedLine(name);
  if (line && !line->Output) {
    Fail(PINLARK_E_INPUT, std::string(line->Name) + " (pin " + std::to_string(line->Pin) + ") is an input; " +
                              "the lines that can be driven are " + OutputLineList());
    return nullptr;
  }
  return line;
}

TSystemPacer Pacer(pinlark_port& port, TClock::duration spin) {
  port.Cancelled = false;
  return TSystemPacer([&port](TClock::time_point at) { return SleepUnlessCancelled(at, port.Cancelled); },
                      [&port] { return port.Cancelled.load(); }, spin);
}

// "ACK=falling BUSY=0" or "ACK=falling,BUSY=0" into conditions.
int ParseConditions(const std::string& text, std::vector<TCondition>& conditions) {
  constexpr const char* Separators = " ,\t";
  for (std::size_t start = text.find_first_not_of(Separators); start != std::string::npos;) {
    const std::size_t end = text.find_first_of(Separators, start);
    const std::string word = text.substr(start, end - start);
    std::string why;
    const std::optional<TCondition> condition = ParseCondition(word, why);
    if (!condition) {
      const std::size_t equals = word.find('=');
      const bool noLine = equals != std::string::npos && !FindLine(word.substr(0, equals));
      return Fail(noLine ? PINLARK_E_LINE : PINLARK_E_ARGUMENT, why);
    }
    conditions.push_back(*condition);
    start = text.find_first_not_of(Separators, end);
  }
  if (conditions.empty()) return Fail(PINLARK_E_ARGUMENT, "no condition given");
  if (conditions.size() > MaxWaitConditions)
    return Fail(PINLARK_E_ARGUMENT, "at most " + std::to_string(MaxWaitConditions) + " conditions");
  return Ok;
}

// Whole microseconds from 1 to the pulse bound, or 0 for none.
bool PulseTime(double us, bool zeroAllowed) {
  return (zeroAllowed && us == 0) || (us >= 1 && us <= double(MaxPulseWidthUs));
}

void DescribeLine(const TLine& line, pinlark_line_info& info) {
  int bit = 0;
  while ((1 << bit) != line.Bit) ++bit;
  const int reg = line.Register == TRegisterKind::Data     ? PINLARK_DATA
                  : line.Register == TRegisterKind::Status ? PINLARK_STATUS
                                                           : PINLARK_CONTROL;
  info = {line.Name, line.Pin, line.Output, line.Inverted, reg, bit};
}

constexpr const char* ErrorMessages[] = {
    "done",
    "invalid argument",
    "no such line",
    "the line is an input",
    "the port is absent",
    "another program holds the port",
    "the port connection could not be opened",
    "the port did not take the request",
    "timed out",
    "cancelled",
    "the line already rests at the pulse's level",
    "internal failure",
};

}  // namespace

extern "C" {

PINLARK_API const char* pinlark_version(void) { return PINLARK_VERSION; }

PINLARK_API pinlark_port* pinlark_open(const char* name) {
  pinlark_port* opened = nullptr;
  Guarded([&] {
    if (!name) return MissingArgument();
    const std::optional<BYTE> port = ParsePort(name);
    if (!port)
      return Fail(PINLARK_E_ARGUMENT, "'" + std::string(name) + "' is no port; use LPT1, LPT2 or LPT3");
    auto handle = std::make_unique<pinlark_port>(Options(), *port);
    if (!handle->Connection.IsUsable()) return ConnectionFailed(GetLastError());
    if (!PortPresent(handle->Connection, *port))
      return Fail(PINLARK_E_ABSENT, PortName(*port) + " is absent");
    TLptPortReports reports{};
    const TLptPortReport& report = reports[(*port >> 4) - 1];
    if (handle->Connection.QueryPorts(reports) && report.Held)
      return Fail(PINLARK_E_HELD,
                  PortName(*port) + " is held by another program" +
                      (report.Holder ? " (process " + std::to_string(report.Holder) + ")" : ""),
                  ERROR_BUSY);
    // The first read takes hold of the port until the handle is closed.
    TRegisters registers;
    if (const DWORD code = handle->Lines.Read(registers)) return TransferFailed("reading", *port, code);
    opened = handle.release();
    return Ok;
  });
  return opened;
}

PINLARK_API void pinlark_close(pinlark_port* port) {
  Guarded([&] {
    delete port;
    return Ok;
  });
}

PINLARK_API int pinlark_ports(pinlark_port_info ports[PINLARK_PORT_COUNT]) {
  return Guarded([&] {
    if (!ports) return MissingArgument();
    TLptPortConnection connection(Options());
    if (!connection.IsUsable()) return ConnectionFailed(GetLastError());
    TLptPortReports reports{};
    const bool known = connection.QueryPorts(reports);
    for (int slot = 0; slot < PINLARK_PORT_COUNT; ++slot) {
      const TLptPortReport& report = reports[slot];
      const BYTE prefix = BYTE((slot + 1) << 4);
      pinlark_port_info& info = ports[slot];
      info = {};
      std::snprintf(info.name, sizeof info.name, "%s", PortName(prefix).c_str());
      info.present = (known ? report.Present : PortPresent(connection, prefix)) ? 1 : 0;
      info.simulated = report.Simulated;
      info.held = report.Held;
      info.loopback = report.Loopback;
      info.base = report.Base;
      info.system_number = report.SystemNumber;
      info.holder = report.Holder;
    }
    return Ok;
  });
}

PINLARK_API int pinlark_read(pinlark_port* port, int reg, unsigned char* value) {
  return Guarded([&] {
    if (!port || !value) return MissingArgument();
    if (reg < PINLARK_DATA || reg > PINLARK_CONTROL)
      return Fail(PINLARK_E_ARGUMENT, "no register " + std::to_string(reg));
    TRegisters registers;
    if (const DWORD code = port->Lines.Read(registers))
      return TransferFailed("reading", port->Lines.Port(), code);
    *value = reg == PINLARK_DATA     ? registers.Data
             : reg == PINLARK_STATUS ? registers.Status
                                     : registers.Control;
    return Ok;
  });
}

PINLARK_API int pinlark_write(pinlark_port* port, int reg, unsigned char value) {
  return Guarded([&] {
    if (!port) return MissingArgument();
    if (reg != PINLARK_DATA && reg != PINLARK_CONTROL)
      return Fail(PINLARK_E_ARGUMENT, reg == PINLARK_STATUS ? "the status register cannot be written"
                                                            : "no register " + std::to_string(reg));
    const DWORD code =
        reg == PINLARK_DATA ? port->Lines.WriteData(value) : port->Lines.WriteControlLines(value);
    return code ? TransferFailed("writing", port->Lines.Port(), code) : PINLARK_OK;
  });
}

PINLARK_API int pinlark_get(pinlark_port* port, const char* name, int flags, int* value) {
  return Guarded([&] {
    if (!port || !name || !value) return MissingArgument();
    const TLine* line = FindNamedLine(name);
    if (!line) return Last.Error;
    TRegisters registers;
    if (const DWORD code = port->Lines.Read(registers))
      return TransferFailed("reading", port->Lines.Port(), code);
    *value = LineValue(*line, registers, flags & PINLARK_REGISTER_BIT ? TLineValue::Bit : TLineValue::Pin);
    return Ok;
  });
}

PINLARK_API int pinlark_set(pinlark_port* port, const char* name, int flags, int value) {
  return Guarded([&] {
    if (!port || !name) return MissingArgument();
    const TLine* line = FindOutputLine(name);
    if (!line) return Last.Error;
    if (value != 0 && value != 1) return Fail(PINLARK_E_ARGUMENT, "a line's value is 0 or 1");
    const TLineValue sense = flags & PINLARK_REGISTER_BIT ? TLineValue::Bit : TLineValue::Pin;
    const DWORD code = port->Lines.Drive(*line, value == 1, sense);
    return code ? TransferFailed("writing", port->Lines.Port(), code) : PINLARK_OK;
  });
}

PINLARK_API int pinlark_wait(pinlark_port* port, const char* conditions, int any, double timeout,
                             double interval_ms, pinlark_wait_result* result) {
  return Guarded([&] {
    if (!port || !conditions) return MissingArgument();
    std::vector<TCondition> parsed;
    if (const int error = ParseConditions(conditions, parsed)) return error;
    if (std::isnan(timeout) || timeout * 1e6 > double(MaxWaitTimeoutUs))
      return Fail(PINLARK_E_ARGUMENT, "the timeout is negative (none) or seconds up to 30 days");
    if (!(interval_ms >= 0 && interval_ms * 1e3 <= double(MaxWaitIntervalUs)))
      return Fail(PINLARK_E_ARGUMENT, "the interval is milliseconds from 0 to 60000");
    std::optional<TClock::duration> limit;
    if (timeout >= 0)
      limit = std::chrono::duration_cast<TClock::duration>(std::chrono::duration<double>(timeout));
    TSystemPacer pacer = Pacer(*port, TClock::duration::zero());
    TPollingSource source(port->Lines, pacer, std::chrono::microseconds(std::llround(interval_ms * 1e3)));
    const TWaitResult outcome = WaitFor(source, parsed, any != 0, limit);
    if (result) {
      *result = {std::chrono::duration<double>(outcome.Elapsed).count(), 0, 0};
      for (std::size_t i = 0; i < parsed.size(); ++i) {
        result->met |= outcome.Met[i] ? 1u << i : 0u;
        result->levels |= parsed[i].Line->PinHigh(outcome.Registers) ? 1u << i : 0u;
      }
    }
    switch (outcome.End) {
      case TWaitResult::TEnd::Met: return Ok;
      case TWaitResult::TEnd::TimedOut:
        return Fail(PINLARK_E_TIMEOUT, "timed out waiting for " + UnmetText(parsed, outcome.Met));
      case TWaitResult::TEnd::Interrupted: return Fail(PINLARK_E_CANCELLED, "the wait was cancelled");
      case TWaitResult::TEnd::Failed: break;
    }
    return TransferFailed("reading", port->Lines.Port(), outcome.Error);
  });
}

PINLARK_API int pinlark_pulse(pinlark_port* port, const char* name, double width_us, unsigned count,
                              double period_us, int active_low, pinlark_pulse_result* result) {
  return Guarded([&] {
    if (!port || !name) return MissingArgument();
    const TLine* line = FindOutputLine(name);
    if (!line) return Last.Error;
    if (!PulseTime(width_us, false) || !PulseTime(period_us, true))
      return Fail(PINLARK_E_ARGUMENT, "widths and periods are microseconds from 1 to 60000000");
    if (count < 1 || count > MaxPulseCount) return Fail(PINLARK_E_ARGUMENT, "the count is 1 to 1000000");
    const TPulseOptions options{std::chrono::microseconds(std::llround(width_us)), count,
                                std::chrono::microseconds(std::llround(period_us)), active_low != 0};
    if (options.EffectivePeriod() <= options.Width)
      return Fail(PINLARK_E_ARGUMENT, "the period must be longer than the width");
    TSystemPacer pacer = Pacer(*port, PulseSpin);
    const TPulseReport report = Pulse(port->Lines, *line, options, pacer);
    if (result) {
      const TSpread widths = SpreadOf(report.Widths), periods = SpreadOf(report.Periods);
      *result = {unsigned(report.Widths.size()),
                 widths.Min,
                 widths.Median,
                 widths.Max,
                 periods.Min,
                 periods.Median,
                 periods.Max};
    }
    const char* level = options.ActiveLow ? "low" : "high";
    switch (report.End) {
      case TPulseReport::TEnd::Done: return Ok;
      case TPulseReport::TEnd::NotIdle:
        return Fail(PINLARK_E_NOT_IDLE, std::string(line->Name) + " rests " + level +
                                            " already, the level the pulse drives it to");
      case TPulseReport::TEnd::Interrupted: return Fail(PINLARK_E_CANCELLED, "the pulse train was cancelled");
      case TPulseReport::TEnd::Failed: break;
    }
    return TransferFailed("pulsing " + std::string(line->Name) + " on", port->Lines.Port(), report.Error);
  });
}

PINLARK_API int pinlark_cancel(pinlark_port* port) {
  if (!port) return Guarded([] { return MissingArgument(); });
  port->Cancelled = true;
  return Ok;
}

PINLARK_API int pinlark_line_count(void) { return int(Lines().size()); }

PINLARK_API int pinlark_line(int index, pinlark_line_info* info) {
  return Guarded([&] {
    if (!info) return MissingArgument();
    if (index < 0 || std::size_t(index) >= Lines().size())
      return Fail(PINLARK_E_ARGUMENT, "no line " + std::to_string(index));
    DescribeLine(Lines()[index], *info);
    return Ok;
  });
}

PINLARK_API int pinlark_find_line(const char* name, pinlark_line_info* info) {
  return Guarded([&] {
    if (!name || !info) return MissingArgument();
    const TLine* line = FindNamedLine(name);
    if (!line) return Last.Error;
    DescribeLine(*line, *info);
    return Ok;
  });
}

PINLARK_API int pinlark_last_error(void) { return Last.Error; }

PINLARK_API const char* pinlark_last_message(void) { return Last.Message.c_str(); }

PINLARK_API unsigned long pinlark_last_system_error(void) { return Last.System; }

PINLARK_API const char* pinlark_error_message(int error) {
  if (error < 0 || std::size_t(error) >= std::size(ErrorMessages)) return "unknown error";
  return ErrorMessages[error];
}

PINLARK_API const char* pinlark_error_advice(unsigned long system_error) {
  Advice = ConnectionAdvice(DWORD(system_error), pinlark::LibraryPath());
  return Advice.c_str();
}

}  // extern "C"
