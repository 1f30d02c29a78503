#include "text.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <unordered_map>

#include "font_lookup.h"

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

int RoundDiv(long long num, long long den) {
  if (den <= 0) return 0;
  return int(num >= 0 ? (num + den / 2) / den : -((-num + den / 2) / den));
}

// Used when no font is available at all: text takes room but draws nothing.
constexpr int DefaultEm = 12;
constexpr int MaxEm = 1000;
constexpr std::size_t MaxCachedGlyphs = 8192;
constexpr std::size_t MaxCachedGlyphBytes = std::size_t(16) << 20;

}  // namespace

struct TFontCache::Impl {
  struct Face {
    FT_Face Ft = nullptr;
    int UnitsPerEm = 2048;
    int WinAscent = 0;  // font units
    int WinDescent = 0;
    int AvgWidth = 0;
    int StrikeoutPos = 0;
    int StrikeoutSize = 0;
  };
  struct Resolved {
    int FaceId = -1;
    bool SynthBold = false;
    bool SynthItalic = false;
  };
  struct Sized {
    Resolved Res;
    int Em64 = DefaultEm * 64;
    TFontMetrics Metrics;
    std::unordered_map<char32_t, std::shared_ptr<const TGlyphImage>> Glyphs;
  };

  FT_Library Lib = nullptr;
  std::unique_ptr<platform::FontLookup> Lookup;
  std::vector<Face> Faces;
  std::unordered_map<std::string, int> FaceByFile;
  std::unordered_map<std::string, Resolved> ResolvedByName;
  std::unordered_map<std::string, Sized> SizedByKey;
  std::size_t GlyphCount = 0;
  std::size_t GlyphBytes = 0;

  explicit Impl(bool useSystemLookup) {
    if (FT_Init_FreeType(&Lib) != 0) Lib = nullptr;
    if (useSystemLookup) Lookup = platform::CreateFontLookup();
  }
  ~Impl() {
    for (Face& f : Faces) FT_Done_Face(f.Ft);
    if (Lib != nullptr) FT_Done_FreeType(Lib);
  }

  int OpenFace(const std::string& file, int index) {
    const std::string key = file + "#" + std::to_string(index);
    if (auto it = FaceByFile.find(key); it != FaceByFile.end()) return it->second;
    int id = -1;
    FT_Face ft = nullptr;
    if (Lib != nullptr && FT_New_Face(Lib, file.c_str(), index, &ft) == 0) {
      if ((ft->face_flags & FT_FACE_FLAG_SCALABLE) != 0 && ft->units_per_EM > 0) {
        Faces.push_back(MakeFace(ft));
        id = int(Faces.size()) - 1;
      } else {
        FT_Done_Face(ft);
      }
    }
    FaceByFile[key] = id;
    return id;
  }

  static Face MakeFace(FT_Face ft) {
    Face f;
    f.Ft = ft;
    f.UnitsPerEm = ft->units_per_EM;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
    if (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
      f.WinAscent = os2->usWinAscent;
      f.WinDescent = os2->usWinDescent;
      f.AvgWidth = os2->xAvgCharWidth;
      f.StrikeoutPos = os2->yStrikeoutPosition;
      f.StrikeoutSize = os2->yStrikeoutSize;
    } else {
      f.WinAscent = ft->ascender;
      f.WinDescent = -ft->descender;
    }
    if (f.WinAscent + f.WinDescent <= 0) {
      f.WinAscent = f.UnitsPerEm * 4 / 5;
      f.WinDescent = f.UnitsPerEm / 5;
    }
    if (f.StrikeoutPos == 0) f.StrikeoutPos = f.UnitsPerEm * 3 / 10;
    return f;
  }

  Resolved MatchSystem(const std::string& family, bool bold, bool italic) {
    Resolved res;
    if (Lookup == nullptr) return res;
    const std::optional<platform::FontFace> face = Lookup->Match(family, bold, italic);
    if (!face) return res;
    res.FaceId = OpenFace(face->File, face->Index);
    res.SynthBold = bold && !face->Bold;
    res.SynthItalic = italic && !face->Italic;
    return res;
  }

  // Any sans face we can open, when the system's lookup is unusable or its
  // match fails.
  Resolved FallbackFace(bool bold, bool italic) {
    Resolved res;
    for (const std::string& path : platform::FallbackFontFiles()) {
      res.FaceId = OpenFace(path, 0);
      if (res.FaceId >= 0) break;
    }
    if (res.FaceId < 0) res.FaceId = ScanForFace();
    res.SynthBold = bold;
    res.SynthItalic = italic;
    return res;
  }

  int ScanForFace() {
    std::error_code ec;
    for (const std::string& root : platform::FontFolders()) {
      std::filesystem::recursive_directory_iterator it(root, ec), end;
      for (; !ec && it != end; it.increment(ec)) {
        const std::string ext = Lower(it->path().extension().string());
        if (ext != ".ttf" && ext != ".otf") continue;
        const int id = OpenFace(it->path().string(), 0);
        if (id >= 0) return id;
      }
    }
    return -1;
  }

  Resolved Resolve(const TFont& font) {
    const bool bold = font.Style().Contains(fsBold);
    const bool italic = font.Style().Contains(fsItalic);
    const std::string lower = Lower(font.Name());
    const std::string key = lower + (bold ? "|b" : "|") + (italic ? "i" : "");
    if (auto it = ResolvedByName.find(key); it != ResolvedByName.end()) return it->second;
    Resolved res = MatchSystem(font.Name().empty() ? "sans-serif" : font.Name(), bold, italic);
    if (res.FaceId < 0) res = FallbackFace(bold, italic);
    ResolvedByName[key] = res;
    return res;
  }

  // The em in 1/64 pixels. A negative height is the em itself; a positive
  // one is the cell (ascent + descent), which may need a fractional em.
  int Em64For(const Resolved& res, int height) const {
    long long em64 = DefaultEm * 64LL;
    if (height < 0) {
      em64 = -static_cast<long long>(height) * 64;
    } else if (height > 0) {
      em64 = static_cast<long long>(height) * 64;
      if (res.FaceId >= 0) {
        const Face& f = Faces[std::size_t(res.FaceId)];
        em64 = RoundDiv(em64 * f.UnitsPerEm, f.WinAscent + f.WinDescent);
      }
    }
    return int(std::clamp(em64, 64LL, MaxEm * 64LL));
  }

  TFontMetrics MetricsFor(const Resolved& res, int em64, int height) const {
    TFontMetrics m;
    const int em = std::max(1, RoundDiv(em64, 64));
    if (res.FaceId < 0) {
      m.Ascent = RoundDiv(em * 4LL, 5);
      m.Descent = em - m.Ascent;
      m.AveCharWidth = std::max(1, em / 2);
      m.UnderlinePosition = 1;
      m.StrikeoutPosition = em / 3;
      return m;
    }
    const Face& f = Faces[std::size_t(res.FaceId)];
    const long long u64 = static_cast<long long>(f.UnitsPerEm) * 64;
    auto scale = [&](long long units) { return RoundDiv(units * em64, u64); };
    if (height > 0) {
      m.Ascent = RoundDiv(static_cast<long long>(f.WinAscent) * height, f.WinAscent + f.WinDescent);
      m.Descent = height - m.Ascent;
    } else {
      m.Ascent = scale(f.WinAscent);
      m.Descent = scale(f.WinDescent);
    }
    m.AveCharWidth = f.AvgWidth > 0 ? std::max(1, scale(f.AvgWidth)) : std::max(1, em / 2);
    m.UnderlinePosition = std::max(1, scale(-static_cast<long long>(f.Ft->underline_position)));
    m.UnderlineThickness = std::max(1, scale(f.Ft->underline_thickness));
    m.StrikeoutPosition = scale(f.StrikeoutPos);
    m.StrikeoutThickness = std::max(1, scale(f.StrikeoutSize));
    return m;
  }

  Sized& SizedFor(const TFont& font) {
    const Resolved res = Resolve(font);
    const int em64 = Em64For(res, font.Height());
    const int cell = std::max(font.Height(), 0);
    const std::string key = std::to_string(res.FaceId) + "|" + std::to_string(em64) + "|" +
                            std::to_string(cell) + (res.SynthBold ? "b" : "") + (res.SynthItalic ? "i" : "");
    auto it = SizedByKey.find(key);
    if (it != SizedByKey.end()) return it->second;
    Sized& s = SizedByKey[key];
    s.Res = res;
    s.Em64 = em64;
    s.Metrics = MetricsFor(res, em64, cell);
    return s;
  }

  std::shared_ptr<const TGlyphImage> Render(const Sized& s, char32_t ch) {
    auto img = std::make_shared<TGlyphImage>();
    if (s.Res.FaceId < 0) {
      img->Advance = s.Metrics.AveCharWidth;
      return img;
    }
    FT_Face ft = Faces[std::size_t(s.Res.FaceId)].Ft;
    if (FT_Set_Char_Size(ft, 0, FT_F26Dot6(s.Em64), 72, 72) != 0) return img;
    const FT_UInt gi = FT_Get_Char_Index(ft, FT_ULong(ch));
    if (FT_Load_Glyph(ft, gi, FT_LOAD_DEFAULT | FT_LOAD_TARGET_NORMAL) != 0) return img;
    FT_GlyphSlot slot = ft->glyph;
    if (s.Res.SynthItalic) FT_GlyphSlot_Oblique(slot);
    if (s.Res.SynthBold) FT_GlyphSlot_Embolden(slot);
    img->Advance = int((slot->advance.x + 32) >> 6);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return img;
    const FT_Bitmap& bm = slot->bitmap;
    img->Left = slot->bitmap_left;
    img->Top = slot->bitmap_top;
    img->Width = int(bm.width);
    img->Height = int(bm.rows);
    img->Coverage.resize(std::size_t(img->Width) * std::size_t(img->Height));
    for (int y = 0; y < img->Height; ++y) {
      const unsigned char* row = bm.buffer + std::ptrdiff_t(y) * bm.pitch;
      for (int x = 0; x < img->Width; ++x) {
        std::uint8_t v = 0;
        if (bm.pixel_mode == FT_PIXEL_MODE_GRAY)
          v = std::uint8_t(bm.num_grays == 256 ? row[x] : row[x] * 255 / std::max(1, int(bm.num_grays) - 1));
        else if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
          v = (row[x >> 3] & (0x80 >> (x & 7))) != 0 ? 255 : 0;
        img->Coverage[std::size_t(y) * std::size_t(img->Width) + std::size_t(x)] = v;
      }
    }
    return img;
  }

  std::shared_ptr<const TGlyphImage> Glyph(Sized& s, char32_t ch) {
    if (auto it = s.Glyphs.find(ch); it != s.Glyphs.end()) return it->second;
    if (GlyphCount >= MaxCachedGlyphs || GlyphBytes >= MaxCachedGlyphBytes) {
      // Images in use stay alive through their shared pointers.
      for (auto& [key, sized] : SizedByKey) sized.Glyphs.clear();
      GlyphCount = 0;
      GlyphBytes = 0;
    }
    auto img = Render(s, ch);
    s.Glyphs.emplace(ch, img);
    ++GlyphCount;
    GlyphBytes += img->Coverage.size() + sizeof(TGlyphImage);
    return img;
  }
};

TFontCache& TFontCache::Global() {
  static TFontCache cache;
  return cache;
}

TFontCache::TFontCache(bool useSystemLookup) : Impl_(std::make_unique<Impl>(useSystemLookup)) {}
TFontCache::~TFontCache() = default;

TFontMetrics TFontCache::Metrics(const TFont& font) {
  std::lock_guard lock(Mutex_);
  return Impl_->SizedFor(font).Metrics;
}

TTextLine TFontCache::Layout(const TFont& font, std::u32string_view text, int tabWidth) {
  std::lock_guard lock(Mutex_);
  Impl::Sized& s = Impl_->SizedFor(font);
  TTextLine line;
  line.Metrics = s.Metrics;
  line.Items.reserve(text.size());
  int x = 0;
  for (char32_t ch : text) {
    if (ch == U'\t' && tabWidth > 0) {
      line.Items.push_back({x, nullptr});
      x = (x / tabWidth + 1) * tabWidth;
      continue;
    }
    if (ch < 0x20 || ch == 0x7F) {
      line.Items.push_back({x, nullptr});
      continue;
    }
    auto g = Impl_->Glyph(s, ch);
    line.Items.push_back({x, g});
    x += g->Advance;
  }
  line.Width = x;
  return line;
}

std::string TFontCache::FontFile(const TFont& font) {
  std::lock_guard lock(Mutex_);
  const Impl::Resolved res = Impl_->Resolve(font);
  if (res.FaceId < 0) return {};
  for (const auto& [key, id] : Impl_->FaceByFile)
    if (id == res.FaceId) return key.substr(0, key.rfind('#'));
  return {};
}

TTextMetric GetTextMetrics(const TFont& font) {
  const TFontMetrics m = TFontCache::Global().Metrics(font);
  return {m.Ascent, m.Descent};
}

std::string ResolveFontFile(const TFont& font) { return TFontCache::Global().FontFile(font); }
