// Where the face file of a font family lies: the system's own lookup, picked
// by the build (fontconfig on Linux, the font folder and its registry list on
// Windows). Returns file paths FreeType can open.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct FontFace {
  std::string File;
  int Index = 0;  // face within a collection file
  bool Bold = false;
  bool Italic = false;  // italic or oblique
};

class FontLookup {
 public:
  virtual ~FontLookup() = default;
  // The face closest to the family and style; a face without the asked-for
  // weight or slant says so, for the caller to synthesise it.
  virtual std::optional<FontFace> Match(const std::string& family, bool bold, bool italic) = 0;
};

// Null when the system's lookup cannot start.
std::unique_ptr<FontLookup> CreateFontLookup();

// Files worth trying, in order, when the lookup has nothing usable.
std::vector<std::string> FallbackFontFiles();
// Folders searched for any scalable face as the last resort.
std::vector<std::string> FontFolders();

}  // namespace platform
