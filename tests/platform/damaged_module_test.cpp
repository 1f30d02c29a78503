// A damaged driver module (cut short, not ELF, built for another machine, a
// named pipe in its place) fails the service start with ERROR_BAD_EXE_FORMAT
// and one line on stderr; the connection and lptprobe report the failed open,
// lptctl doctor names the problem, and nothing crashes or hangs.
#include "LPTIO.h"
#include "emulation_control.h"
#include "test_support.h"

#include <elf.h>
#include <gtest/gtest.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace {

using namespace pinlark::testsupport;

// A program that hangs fails its test instead of holding it up.
const std::string Bounded = "timeout -k 5 30 ";

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The real module and the places inside it worth cutting at.
struct TModule {
  std::string Bytes = ReadFile(LPTWDMIO_PATH);
  ElfW(Ehdr) Header() const {
    ElfW(Ehdr) header{};
    std::memcpy(&header, Bytes.data(), sizeof header);
    return header;
  }
  ElfW(Phdr) Segment(std::size_t index) const {
    ElfW(Phdr) segment{};
    std::memcpy(&segment, Bytes.data() + Header().e_phoff + index * sizeof segment, sizeof segment);
    return segment;
  }
  // The last loadable segment, the one a loader touches last.
  ElfW(Phdr) LastLoadable() const {
    ElfW(Phdr) last{};
    for (std::size_t i = 0; i < Header().e_phnum; ++i)
      if (Segment(i).p_type == PT_LOAD && Segment(i).p_filesz > 0) last = Segment(i);
    return last;
  }
  std::string Cut(std::size_t length) const { return Bytes.substr(0, length); }
};

// Puts the damaged module at a path.
using TPlace = std::function<void(const TModule&, const fs::path&)>;

TPlace Writes(std::function<std::string(const TModule&)> make) {
  return [make](const TModule& module, const fs::path& path) { WriteFile(path, make(module)); };
}

struct TDamage {
  const char* Name;
  TPlace Place;
  const char* Problem;  // part of the stderr line
};

void PrintTo(const TDamage& damage, std::ostream* out) { *out << damage.Name; }

std::string RandomBytes() {
  std::mt19937 generator(20240611);
  std::string bytes(4096, '\0');
  for (char& byte : bytes) byte = static_cast<char>(generator());
  return bytes;
}

template <typename T>
std::string Patched(const TModule& module, std::size_t offset, T value) {
  std::string bytes = module.Bytes;
  std::memcpy(bytes.data() + offset, &value, sizeof value);
  return bytes;
}

const TDamage Damages[] = {
    {"Empty", Writes([](const TModule&) { return std::string(); }), "the file is empty"},
    {"InsideTheElfHeader", Writes([](const TModule& m) { return m.Cut(20); }),
     "inside the ELF header (20 of"},
    {"InsideTheProgramHeaders",
     Writes([](const TModule& m) { return m.Cut(m.Header().e_phoff + sizeof(ElfW(Phdr)) + 3); }),
     "inside the program headers"},
    {"InsideALoadableSegment", Writes([](const TModule& m) {
       return m.Cut(m.LastLoadable().p_offset + m.LastLoadable().p_filesz / 2);
     }),
     "inside loadable segment"},
    {"OneByteShort", Writes([](const TModule& m) { return m.Cut(m.Bytes.size() - 1); }),
     "inside the section headers"},
    {"RandomBytes", Writes([](const TModule&) { return RandomBytes(); }), "not an ELF file"},
    {"AnotherProcessor", Writes([](const TModule& m) {
       return Patched(m, offsetof(ElfW(Ehdr), e_machine), ElfW(Half){EM_AARCH64});
     }),
     "built for another processor"},
    {"AProgramNotAModule",
     Writes([](const TModule& m) { return Patched(m, offsetof(ElfW(Ehdr), e_type), ElfW(Half){ET_EXEC}); }),
     "not a shared object"},
    // The range's end does not fit in 64 bits: no wrapped sum in the message.
    {"ProgramHeadersPastTheLastByte", Writes([](const TModule& m) {
       return Patched(m, offsetof(ElfW(Ehdr), e_phoff), ElfW(Off){~ElfW(Off){0} - 15});
     }),
     "program headers (bytes 18446744073709551600 and "},
    // Opening it for reading would wait for a writer that never comes.
    {"ANamedPipe", [](const TModule&, const fs::path& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); },
     "it is a named pipe"},
};

class DamagedModuleTest : public ::testing::TestWithParam<TDamage> {
 protected:
  void SetUp() override {
    ::setenv("LPTWDMIO_BACKEND", "simulated", 1);
    emulation::Reset();
    GetParam().Place(TModule{}, Module);
  }
  void TearDown() override { emulation::Reset(); }
  std::string ExpectedLine() const { return Module.string() + ": cannot start this driver module: "; }
  void ExpectOneLineNamingTheProblem(const std::string& errors) const {
    EXPECT_EQ(errors.rfind(ExpectedLine(), 0), 0u) << errors;
    EXPECT_NE(errors.find(GetParam().Problem), std::string::npos) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
  }
  SC_HANDLE CreateService(SC_HANDLE manager) {
    return CreateServiceA(manager, "lptwdmio", "LPT port direct access service", SERVICE_ALL_ACCESS,
                          SERVICE_KERNEL_DRIVER, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                          Module.string().c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
  }

  TTempDir Folder;
  const fs::path Module = Folder / "LPTWDMIO.SYS";
};

TEST_P(DamagedModuleTest, ServiceStartFailsWithBadFormatAndSaysWhy) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  SC_HANDLE service = CreateService(manager);
  ASSERT_NE(service, nullptr);
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(StartServiceA(service, 0, nullptr));
  const DWORD error = GetLastError();
  const std::string errors = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(error, ERROR_BAD_EXE_FORMAT);
  ExpectOneLineNamingTheProblem(errors);
  EXPECT_FALSE(emulation::Service("lptwdmio")->Running);
  EXPECT_EQ(emulation::LoadedDriverCount(), 0);
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
}

// The service exists and names the damaged file, as after an earlier install.
TEST_P(DamagedModuleTest, ConnectionIsNotUsableAndKeepsTheOpenError) {
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  CloseServiceHandle(CreateService(manager));
  CloseServiceHandle(manager);
  ::testing::internal::CaptureStderr();
  {
    TLptPortConnection connection;
    const DWORD error = GetLastError();
    EXPECT_FALSE(connection.IsUsable());
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(connection.Lpt1Present());
  }
  ExpectOneLineNamingTheProblem(::testing::internal::GetCapturedStderr());
  EXPECT_EQ(emulation::OpenHandleCount(), 0u);
}

TEST_P(DamagedModuleTest, LptprobeReportsTheOpenErrorInsteadOfDying) {
  const fs::path probe = Folder / "lptprobe";
  fs::copy_file(LPTPROBE_PATH, probe);
  const TRun run = RunCommand(Bounded + probe.string());
  EXPECT_EQ(run.Signal, 0);
  EXPECT_EQ(run.ExitCode, 1);
  // The code, then what it means to the user.
  EXPECT_EQ(run.Output.substr(0, run.Output.find('\n') + 1), "error 2\n");
  EXPECT_EQ(std::count(run.Output.begin(), run.Output.end(), '\n'), 2);
  ExpectOneLineNamingTheProblem(run.Errors);
}

// The doctor makes the check the service start makes.
TEST_P(DamagedModuleTest, DoctorSaysTheModuleCannotBeLoaded) {
  const fs::path lptctl = Folder / "lptctl";
  fs::copy_file(LPTCTL_PATH, lptctl);
  const TRun run = RunCommand(Bounded + lptctl.string() + " doctor");
  EXPECT_EQ(run.ExitCode, 1);
  const std::string finding = "[FAIL] driver module: " + Module.string() + " cannot be loaded: ";
  const std::size_t at = run.Output.find(finding);
  ASSERT_NE(at, std::string::npos) << run.Output;
  EXPECT_NE(run.Output.substr(at, run.Output.find('\n', at) - at).find(GetParam().Problem), std::string::npos)
      << run.Output;
}

INSTANTIATE_TEST_SUITE_P(Damages, DamagedModuleTest, ::testing::ValuesIn(Damages),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(IntactModuleTest, CopyBesideLptprobeStillStarts) {
  const TTempDir folder;
  fs::copy_file(LPTWDMIO_PATH, folder / "LPTWDMIO.SYS");
  fs::copy_file(LPTPROBE_PATH, folder / "lptprobe");
  ::setenv("LPTWDMIO_BACKEND", "simulated", 1);
  const TRun run = RunCommand((folder / "lptprobe").string());
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Output.rfind("LPT1 present", 0), 0u) << run.Output << run.Errors;
}

}  // namespace
