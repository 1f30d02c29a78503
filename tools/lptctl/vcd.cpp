#include "vcd.h"

#include <cerrno>
#include <ostream>

namespace lptctl {

// A write that failed while the stream filled its buffer has left its errno.
int FlushFailure(std::ostream& out) {
  if (out) {
    errno = 0;
    out.flush();
    if (out) return 0;
  }
  return errno ? errno : EIO;
}

// One printable character per wire, from '!' on.
std::string TVcdWriter::Code(std::size_t wire) { return std::string(1, char('!' + wire)); }

void TVcdWriter::Flush() {
  if (!Failure_) Failure_ = FlushFailure(Out_);
}

void TVcdWriter::Begin(const std::string& scope, const std::string& comment, const std::string& date,
                       const TRegisters& registers) {
  Out_ << "$date " << date << " $end\n"
       << "$version lptctl $end\n"
       << "$comment " << comment << " $end\n"
       << "$timescale 1 us $end\n"
       << "$scope module " << scope << " $end\n";
  const auto lines = Lines();
  for (std::size_t i = 0; i < lines.size(); ++i)
    Out_ << "$var wire 1 " << Code(i) << ' ' << lines[i].WireName() << " $end\n";
  Out_ << "$upscope $end\n$enddefinitions $end\n#0\n$dumpvars\n";
  for (std::size_t i = 0; i < lines.size(); ++i)
    Out_ << (lines[i].PinHigh(registers) ? '1' : '0') << Code(i) << '\n';
  Out_ << "$end\n";
  Flush();
  Last_ = registers;
  LastTime_ = 0;
}

void TVcdWriter::Sample(std::uint64_t us, const TRegisters& registers) {
  if (registers == Last_) return;
  std::string changes;
  const auto lines = Lines();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const bool high = lines[i].PinHigh(registers);
    if (high != lines[i].PinHigh(Last_)) changes += (high ? "1" : "0") + Code(i) + '\n';
  }
  Last_ = registers;
  if (changes.empty()) return;
  // Times only grow; a change in the same microsecond joins the last stamp.
  if (us > LastTime_) {
    Out_ << '#' << us << '\n';
    LastTime_ = us;
  }
  Out_ << changes;
  Flush();
}

void TVcdWriter::End(std::uint64_t us) {
  Out_ << '#' << (us > LastTime_ ? us : LastTime_ + 1) << '\n';
  Flush();
}

}  // namespace lptctl
