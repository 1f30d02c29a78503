// Windows: the family's file from the system font folder through the
// registry's list of installed fonts (the machine's and the user's); for a
// family the machine lacks, the DejaVu files the build puts beside the
// executables. Paths are in the ANSI code page, which FreeType's file access
// (the C library's) takes.
#include <array>
#include <string_view>

#include "font_families.h"
#include "font_lookup.h"
#include "winapi.h"

namespace platform {

namespace {

constexpr const char* FontsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

struct TInstalledFace {
  std::string Name;  // lower case, without the "(TrueType)" tag
  std::string File;
  int Index = 0;
};

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

std::string WindowsFontFolder() {
  char folder[MAX_PATH];
  const UINT length = GetWindowsDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::string(folder, length) + "\\Fonts";
}

std::string ExecutableFolder() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  const std::string full(path, length);
  const std::size_t separator = full.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : full.substr(0, separator);
}

bool IsScalableFile(const std::string& file) {
  const std::string lower = LowerFamily(file);
  return EndsWith(lower, ".ttf") || EndsWith(lower, ".ttc") || EndsWith(lower, ".otf");
}

// One registry value: "Cambria & Cambria Math (TrueType)" = "cambria.ttc"
// names two faces of one collection.
void AddEntry(std::vector<TInstalledFace>& faces, std::string name, std::string file,
              const std::string& folder) {
  if (!IsScalableFile(file)) return;  // bitmap and vector .fon faces are not ours to draw
  if (const std::size_t tag = name.rfind(" ("); tag != std::string::npos) name.resize(tag);
  if (file.find_first_of("\\/") == std::string::npos) file = folder + "\\" + file;
  int index = 0;
  std::size_t start = 0;
  for (;;) {
    const std::size_t amp = name.find(" & ", start);
    faces.push_back({LowerFamily(name.substr(start, amp - start)), file, index++});
    if (amp == std::string::npos) break;
    start = amp + 3;
  }
}

void ReadFontList(HKEY root, const std::string& folder, std::vector<TInstalledFace>& faces) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, FontsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  DWORD maxName = 0;
  DWORD maxData = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, &maxData,
                       nullptr, nullptr) == ERROR_SUCCESS) {
    std::string name(maxName + 1, '\0');
    std::string data(maxData + 1, '\0');
    for (DWORD i = 0;; ++i) {
      DWORD nameLength = DWORD(name.size());
      DWORD dataLength = DWORD(data.size());
      DWORD type = 0;
      const LONG status = RegEnumValueA(key, i, name.data(), &nameLength, nullptr, &type,
                                        reinterpret_cast<BYTE*>(data.data()), &dataLength);
      if (status == ERROR_NO_MORE_ITEMS) break;
      if (status != ERROR_SUCCESS || type != REG_SZ) continue;
      std::string file(data.data(), dataLength);
      file.resize(file.find('\0') == std::string::npos ? file.size() : file.find('\0'));
      AddEntry(faces, name.substr(0, nameLength), file, folder);
    }
  }
  RegCloseKey(key);
}

// The registry names styles as suffixes of the family: "Verdana Bold Italic".
constexpr std::array<const char*, 2> BoldItalicNames = {" bold italic", " bold oblique"};
constexpr std::array<const char*, 2> ItalicNames = {" italic", " oblique"};

class RegistryFontLookup : public FontLookup {
 public:
  RegistryFontLookup() : BundledFolder_(ExecutableFolder()) {
    const std::string folder = WindowsFontFolder();
    ReadFontList(HKEY_LOCAL_MACHINE, folder, Faces_);
    ReadFontList(HKEY_CURRENT_USER, folder, Faces_);
  }

  std::optional<FontFace> Match(const std::string& family, bool bold, bool italic) override {
    const std::string name = LowerFamily(family);
    if (bold && italic)
      for (const char* suffix : BoldItalicNames)
        if (auto face = Find(name + suffix, true, true)) return face;
    if (italic)
      for (const char* suffix : ItalicNames)
        if (auto face = Find(name + suffix, false, true)) return face;
    if (bold)
      if (auto face = Find(name + " bold", true, false)) return face;
    if (auto face = Find(name, false, false)) return face;
    if (auto face = Find(name + " regular", false, false)) return face;
    return Bundled(StandInClass(family).value_or(FontClass::Sans), bold, italic);
  }

 private:
  std::optional<FontFace> Find(const std::string& name, bool bold, bool italic) const {
    for (const TInstalledFace& face : Faces_)
      if (face.Name == name && GetFileAttributesA(face.File.c_str()) != INVALID_FILE_ATTRIBUTES)
        return FontFace{face.File, face.Index, bold, italic};
    return std::nullopt;
  }

  // The DejaVu file of the class, the nearest style the folder holds.
  std::optional<FontFace> Bundled(FontClass c, bool bold, bool italic) const {
    const char* base = c == FontClass::Serif  ? "DejaVuSerif"
                       : c == FontClass::Mono ? "DejaVuSansMono"
                                              : "DejaVuSans";
    const char* slant = c == FontClass::Serif ? "Italic" : "Oblique";
    const std::string stem = BundledFolder_ + "\\" + base;
    struct TStyle {
      bool Bold;
      bool Italic;
    };
    for (const TStyle style : {TStyle{bold, italic}, TStyle{bold, false}, TStyle{false, false}}) {
      std::string file = stem;
      if (style.Bold || style.Italic) file += "-";
      if (style.Bold) file += "Bold";
      if (style.Italic) file += slant;
      file += ".ttf";
      if (GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES)
        return FontFace{file, 0, style.Bold, style.Italic};
    }
    return std::nullopt;
  }

  std::string BundledFolder_;
  std::vector<TInstalledFace> Faces_;
};

}  // namespace

std::unique_ptr<FontLookup> CreateFontLookup() { return std::make_unique<RegistryFontLookup>(); }

std::vector<std::string> FallbackFontFiles() {
  const std::string fonts = WindowsFontFolder();
  return {ExecutableFolder() + "\\DejaVuSans.ttf", fonts + "\\segoeui.ttf", fonts + "\\arial.ttf",
          fonts + "\\tahoma.ttf"};
}

std::vector<std::string> FontFolders() { return {ExecutableFolder(), WindowsFontFolder()}; }

}  // namespace platform
