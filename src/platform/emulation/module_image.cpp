#include "module_image.h"

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

namespace emulation {

namespace {

using TElfHeader = ElfW(Ehdr);
using TProgramHeader = ElfW(Phdr);
using TSectionHeader = ElfW(Shdr);

constexpr unsigned char NativeClass = sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32;
constexpr unsigned char NativeByteOrder =
    __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? ELFDATA2LSB : ELFDATA2MSB;

#if defined(__x86_64__)
constexpr unsigned NativeMachine = EM_X86_64;
#elif defined(__i386__)
constexpr unsigned NativeMachine = EM_386;
#elif defined(__aarch64__)
constexpr unsigned NativeMachine = EM_AARCH64;
#elif defined(__arm__)
constexpr unsigned NativeMachine = EM_ARM;
#elif defined(__riscv)
constexpr unsigned NativeMachine = EM_RISCV;
#elif defined(__powerpc64__)
constexpr unsigned NativeMachine = EM_PPC64;
#elif defined(__s390x__)
constexpr unsigned NativeMachine = EM_S390;
#else
#error "name this processor's ELF machine number"
#endif

class TFile {
 public:
  // Without O_NONBLOCK a FIFO in the module's place would block the open
  // until some writer came, for ever.
  explicit TFile(const std::string& path)
      : Fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)) {}
  ~TFile() {
    if (Fd_ >= 0) ::close(Fd_);
  }
  TFile(const TFile&) = delete;
  TFile& operator=(const TFile&) = delete;

  bool IsOpen() const { return Fd_ >= 0; }
  bool Stat(struct stat& status) const { return ::fstat(Fd_, &status) == 0; }
  bool ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const {
    auto* bytes = static_cast<char*>(buffer);
    while (length > 0) {
      const ssize_t got = ::pread(Fd_, bytes, length, static_cast<off_t>(offset));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      bytes += got;
      offset += static_cast<std::uint64_t>(got);
      length -= static_cast<std::size_t>(got);
    }
    return true;
  }

 private:
  int Fd_;
};

TImageCheck Damaged(std::string problem) { return {ERROR_BAD_EXE_FORMAT, std::move(problem)}; }

std::string Text(std::uint64_t value) { return std::to_string(value); }

// True when [offset, offset + length) lies inside a file of `size` bytes.
bool Inside(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
  return offset <= size && length <= size - offset;
}

// A garbled header can name a range whose end does not fit in 64 bits.
std::string Range(std::uint64_t offset, std::uint64_t length) {
  if (length > std::numeric_limits<std::uint64_t>::max() - offset)
    return "bytes " + Text(offset) + " and " + Text(length) + " more";
  return "bytes " + Text(offset) + " to " + Text(offset + length);
}

const char* FileKind(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a named pipe";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "no regular file";
}

TImageCheck CheckIdentity(const TElfHeader& header) {
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0) return Damaged("not an ELF file");
  if (header.e_ident[EI_CLASS] != NativeClass)
    return Damaged("not a " + Text(sizeof(void*) * 8) + "-bit module");
  if (header.e_ident[EI_DATA] != NativeByteOrder) return Damaged("built for the other byte order");
  if (header.e_ident[EI_VERSION] != EV_CURRENT || header.e_version != EV_CURRENT)
    return Damaged("unknown ELF version");
  if (header.e_type != ET_DYN) return Damaged("not a shared object (ELF type " + Text(header.e_type) + ")");
  if (header.e_machine != NativeMachine)
    return Damaged("built for another processor (ELF machine " + Text(header.e_machine) + ")");
  return {};
}

TImageCheck CheckSegments(const TFile& file, const TElfHeader& header, std::uint64_t size) {
  if (header.e_phentsize != sizeof(TProgramHeader) || header.e_phnum == 0 || header.e_phnum == PN_XNUM)
    return Damaged("no usable program headers");
  const std::uint64_t tableLength = std::uint64_t{header.e_phnum} * sizeof(TProgramHeader);
  if (!Inside(header.e_phoff, tableLength, size))
    return Damaged("the file ends inside the program headers (" + Range(header.e_phoff, tableLength) +
                   ", the file has " + Text(size) + ")");
  std::vector<TProgramHeader> segments(header.e_phnum);
  if (!file.ReadAt(header.e_phoff, segments.data(), tableLength))
    return Damaged("the program headers cannot be read");
  bool loadable = false;
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const TProgramHeader& segment = segments[i];
    const std::string name = (segment.p_type == PT_LOAD ? "loadable segment " : "segment ") + Text(i);
    if (segment.p_type == PT_LOAD) {
      loadable = true;
      if (segment.p_filesz > segment.p_memsz) return Damaged(name + " is larger in the file than in memory");
    }
    if (segment.p_filesz != 0 && !Inside(segment.p_offset, segment.p_filesz, size))
      return Damaged("the file ends inside " + name + " (" + Range(segment.p_offset, segment.p_filesz) +
                     ", the file has " + Text(size) + ")");
  }
  if (!loadable) return Damaged("no loadable segment");
  return {};
}

// The loader never reads section headers, but a table cut short shows a
// partial copy even when every segment survived.
TImageCheck CheckSections(const TElfHeader& header, std::uint64_t size) {
  if (header.e_shoff == 0 && header.e_shnum == 0) return {};
  if (header.e_shentsize != sizeof(TSectionHeader)) return Damaged("no usable section headers");
  const std::uint64_t tableLength = std::uint64_t{header.e_shnum} * sizeof(TSectionHeader);
  if (!Inside(header.e_shoff, tableLength, size))
    return Damaged("the file ends inside the section headers (" + Range(header.e_shoff, tableLength) +
                   ", the file has " + Text(size) + ")");
  return {};
}

}  // namespace

TImageCheck CheckModuleImage(const std::string& path) {
  const TFile file(path);
  if (!file.IsOpen()) {
    if (errno == ENOENT || errno == ENOTDIR) return {ERROR_FILE_NOT_FOUND, "no such file"};
    if (errno == EACCES || errno == EPERM) return {ERROR_ACCESS_DENIED, "no permission to read it"};
    return Damaged(std::strerror(errno));
  }
  struct stat status {};
  if (!file.Stat(status)) return Damaged(std::strerror(errno));
  if (!S_ISREG(status.st_mode)) return Damaged(std::string("it is ") + FileKind(status.st_mode));
  const auto size = static_cast<std::uint64_t>(status.st_size);
  if (size == 0) return Damaged("the file is empty");
  TElfHeader header{};
  if (size < sizeof header)
    return Damaged("the file ends inside the ELF header (" + Text(size) + " of " + Text(sizeof header) +
                   " bytes)");
  if (!file.ReadAt(0, &header, sizeof header)) return Damaged("the ELF header cannot be read");
  if (TImageCheck check = CheckIdentity(header); check.Error != ERROR_SUCCESS) return check;
  if (TImageCheck check = CheckSegments(file, header, size); check.Error != ERROR_SUCCESS) return check;
  return CheckSections(header, size);
}

}  // namespace emulation
