#include <fontconfig/fontconfig.h>

#include "font_families.h"
#include "font_lookup.h"

namespace platform {

namespace {

class FontconfigLookup : public FontLookup {
 public:
  explicit FontconfigLookup(FcConfig* config) : Config_(config) {}
  ~FontconfigLookup() override { FcConfigDestroy(Config_); }
  FontconfigLookup(const FontconfigLookup&) = delete;
  FontconfigLookup& operator=(const FontconfigLookup&) = delete;

  std::optional<FontFace> Match(const std::string& family, bool bold, bool italic) override {
    // Faces the layouts name are mapped to what a Linux machine has.
    const std::optional<FontClass> standIn = StandInClass(family);
    const char* name = standIn ? StandInFamily(*standIn) : family.c_str();
    FcPattern* pat = FcPatternCreate();
    if (pat == nullptr) return std::nullopt;
    FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(name));
    FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pat, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(Config_, pat, FcMatchPattern);
    FcDefaultSubstitute(pat);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(Config_, pat, &result);
    FcPatternDestroy(pat);
    if (match == nullptr) return std::nullopt;
    std::optional<FontFace> face;
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
      int index = 0;
      int weight = FC_WEIGHT_REGULAR;
      int slant = FC_SLANT_ROMAN;
      FcPatternGetInteger(match, FC_INDEX, 0, &index);
      FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
      FcPatternGetInteger(match, FC_SLANT, 0, &slant);
      face = FontFace{reinterpret_cast<const char*>(file), index, weight >= FC_WEIGHT_DEMIBOLD,
                      slant != FC_SLANT_ROMAN};
    }
    FcPatternDestroy(match);
    return face;
  }

 private:
  FcConfig* Config_;
};

}  // namespace

std::unique_ptr<FontLookup> CreateFontLookup() {
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (config == nullptr) return nullptr;
  return std::make_unique<FontconfigLookup>(config);
}

std::vector<std::string> FallbackFontFiles() {
  return {
      "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
      "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",
      "/usr/share/fonts/truetype/noto/NotoSans-Regular.ttf",
  };
}

std::vector<std::string> FontFolders() { return {"/usr/share/fonts", "/usr/local/share/fonts"}; }

}  // namespace platform
