// The families the layouts name, sorted into the classes our bundled
// stand-ins (DejaVu) cover, for a machine that lacks the family itself.
#pragma once

#include <cctype>
#include <optional>
#include <string>

namespace platform {

enum class FontClass { Sans, Serif, Mono };

inline std::string LowerFamily(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

inline std::optional<FontClass> StandInClass(const std::string& family) {
  const std::string name = LowerFamily(family);
  if (name == "verdana" || name == "ms sans serif" || name == "microsoft sans serif" || name == "tahoma" ||
      name == "arial" || name == "segoe ui")
    return FontClass::Sans;
  if (name == "times new roman" || name == "times") return FontClass::Serif;
  if (name == "courier new" || name == "courier") return FontClass::Mono;
  return std::nullopt;
}

// The DejaVu family standing in for a class.
inline const char* StandInFamily(FontClass c) {
  switch (c) {
    case FontClass::Serif: return "DejaVu Serif";
    case FontClass::Mono: return "DejaVu Sans Mono";
    case FontClass::Sans: break;
  }
  return "DejaVu Sans";
}

}  // namespace platform
