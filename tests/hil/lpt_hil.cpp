// Guest-side checks of the port access against real (emulated) hardware.
//
//   lpt_hil direct                      probe the three ports on the direct path
//   lpt_hil strobe driver|direct P TEXT print TEXT on port prefix P, one strobe a byte
//   lpt_hil crosscheck P                driver-path traffic seen at the I/O ports, and back
//   lpt_hil hold SECONDS                keep a driver connection open for a while
//   lpt_hil ack BASE                    the printer's acknowledge, with the port's interrupt
//
// Prints what it found; exits 0 when every step held, 1 otherwise.
#include "LPTIO.h"
#include "emulation_control.h"

#include <sys/io.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

int Failures = 0;

void Fail(const char* what, unsigned got, unsigned want) {
  std::printf("mismatch %s: got %02X, want %02X\n", what, got, want);
  ++Failures;
}

void Expect(const char* what, unsigned got, unsigned want) {
  if (got != want) Fail(what, got, want);
}

WORD LegacyBase(BYTE port) {
  switch (port) {
    case PortLpt1: return 0x3BC;
    case PortLpt2: return 0x378;
    default: return 0x278;
  }
}

// Direct path: the 9x family with the machine's own I/O ports.
bool UseDirectPath() {
  emulation::SetPlatformFamily(emulation::TPlatformFamily::Win9x);
  DWORD error = 0;
  auto space = emulation::OpenRealIoSpace(error);
  if (!space) {
    std::printf("error %u\n", static_cast<unsigned>(error));
    return false;
  }
  emulation::SelectIoSpace(space);
  return true;
}

// An observer beside the program: raw port instructions, no layer of ours.
bool OpenObserver() {
  if (ioperm(0x278, 8, 1) != 0 || ioperm(0x378, 8, 1) != 0 || ioperm(0x3BC, 8, 1) != 0) {
    std::perror("ioperm");
    return false;
  }
  return true;
}

void PrintPorts(TLptPortConnection& c) {
  const BYTE ports[] = {PortLpt1, PortLpt2, PortLpt3};
  const bool present[] = {c.Lpt1Present(), c.Lpt2Present(), c.Lpt3Present()};
  for (int i = 0; i < 3; ++i) {
    std::printf("LPT%d %s data=%02X status=%02X control=%02X\n", i + 1, present[i] ? "present" : "absent",
                c.ReadRegister(ports[i], RegData), c.ReadRegister(ports[i], RegStatus),
                c.ReadRegister(ports[i], RegControl));
  }
}

int Direct() {
  if (!UseDirectPath() || !OpenObserver()) return 1;
  // The probe must leave every data latch as it found it.
  const BYTE before[] = {inb(0x3BC), inb(0x378), inb(0x278)};
  TLptPortConnection c;
  if (!c.IsUsable()) {
    std::printf("error not usable\n");
    return 1;
  }
  Expect("LPT1 data after probe", inb(0x3BC), before[0]);
  Expect("LPT2 data after probe", inb(0x378), before[1]);
  Expect("LPT3 data after probe", inb(0x278), before[2]);
  PrintPorts(c);
  return Failures ? 1 : 0;
}

// Centronics handshake: data, then a STR pulse with INIT high (not in reset)
// and SELIN asserted; the printer takes the byte on STR's leading edge.
bool Print(TLptPortConnection& c, BYTE port, const std::string& text) {
  for (unsigned char ch : text) {
    if (!c.WriteRegister(port, RegData, ch) || !c.WriteRegister(port, RegControl, 0x0C) ||
        !c.WriteRegister(port, RegControl, 0x0D) || !c.WriteRegister(port, RegControl, 0x0C)) {
      std::printf("error %u\n", static_cast<unsigned>(GetLastError()));
      return false;
    }
  }
  return true;
}

int Strobe(const std::string& path, BYTE port, const std::string& text) {
  if (path == "direct" && !UseDirectPath()) return 1;
  TLptPortConnection c;
  if (!c.IsUsable()) {
    std::printf("error %u\n", static_cast<unsigned>(GetLastError()));
    return 1;
  }
  return Print(c, port, text) ? 0 : 1;
}

int Crosscheck(BYTE port) {
  if (!OpenObserver()) return 1;
  TLptPortConnection c;
  if (!c.IsUsable()) {
    std::printf("error %u\n", static_cast<unsigned>(GetLastError()));
    return 1;
  }
  const WORD base = LegacyBase(port);

  // Data, both ways.
  c.WriteRegister(port, RegData, 0x5A);
  Expect("data written by driver, read at port", inb(base), 0x5A);
  outb(0xA5, base);
  Expect("data written at port, read by driver", c.ReadRegister(port, RegData), 0xA5);

  // Status is an input: both must see the same lines. A read may move an
  // emulated printer's handshake on (ACK pulse, then BUSY), so wait for it
  // to settle first.
  BYTE status = inb(base + 1);
  for (int i = 0; i < 8; ++i) {
    const BYTE next = inb(base + 1);
    if (next == status) break;
    status = next;
  }
  const BYTE viaDriver = c.ReadRegister(port, RegStatus);
  Expect("status read by driver", viaDriver, status);
  Expect("status at port after driver read", inb(base + 1), status);

  // The four control lines, both ways.
  c.WriteRegister(port, RegControl, 0x0A);
  Expect("control lines written by driver, read at port", inb(base + 2) & 0x0F, 0x0A);
  Expect("control lines read back by driver", c.ReadRegister(port, RegControl) & 0x0F, 0x0A);

  // Bit 5 turns the data lines around and back again.
  c.WriteRegister(port, RegData, 0x3C);
  c.WriteRegister(port, RegControl, 0x2C);
  Expect("direction bit at port after reverse", inb(base + 2) & 0x20, 0x20);
  Expect("direction bit read by driver after reverse", c.ReadRegister(port, RegControl) & 0x20, 0x20);
  c.WriteRegister(port, RegControl, 0x0C);
  Expect("direction bit at port after forward", inb(base + 2) & 0x20, 0x00);
  Expect("direction bit read by driver after forward", c.ReadRegister(port, RegControl) & 0x20, 0x00);
  Expect("data latch after forward", c.ReadRegister(port, RegData), 0x3C);
  Expect("data at port after forward", inb(base), 0x3C);

  c.WriteRegister(port, RegData, 0x00);
  return Failures ? 1 : 0;
}

int Hold(unsigned seconds) {
  TLptPortConnection c;
  std::printf("held %s\n", c.IsUsable() ? "yes" : "no");
  std::fflush(stdout);
  sleep(seconds);
  return 0;
}

// The printer's side of a handshake as QEMU's model of the port makes it,
// straight at the I/O ports while another program holds the port: a strobe
// clears BUSY, the next status read takes ACK low, and a control write with
// the interrupt already enabled raises the interrupt. Nothing reads status
// after that, which would take ACK high again.
int Acknowledge(WORD base) {
  if (!OpenObserver()) return 1;
  outb(0x0D, base + 2);  // strobe, interrupt off
  outb(0x0C, base + 2);  // strobe over, no interrupt
  const BYTE before = inb(base + 1);
  outb(0x1C, base + 2);  // interrupt on
  outb(0x1C, base + 2);  // and again: now it comes
  std::printf("acknowledged status=%02X\n", before);
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: lpt_hil direct | strobe driver|direct PORT TEXT | crosscheck PORT"
               " | hold SECONDS | ack BASE\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string cmd = argv[1];
  if (cmd == "direct" && argc == 2) return Direct();
  if (cmd == "strobe" && argc == 5)
    return Strobe(argv[2], static_cast<BYTE>(std::strtoul(argv[3], nullptr, 0)), argv[4]);
  if (cmd == "crosscheck" && argc == 3)
    return Crosscheck(static_cast<BYTE>(std::strtoul(argv[2], nullptr, 0)));
  if (cmd == "hold" && argc == 3) return Hold(static_cast<unsigned>(std::atoi(argv[2])));
  if (cmd == "ack" && argc == 3) return Acknowledge(static_cast<WORD>(std::strtoul(argv[2], nullptr, 0)));
  return Usage();
}
