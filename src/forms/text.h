// Text through the platform's font lookup and FreeType: face matching, metrics as the classic
// interface reports them, and a glyph cache. Internal to the graphics library.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "graphics.h"

// A rendered glyph: 8-bit coverage, placed relative to the pen position on
// the baseline (Left to the right, Top upwards, as FreeType reports it).
struct TGlyphImage {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  int Advance = 0;  // whole pixels
  std::vector<std::uint8_t> Coverage;
};

struct TFontMetrics {
  int Ascent = 0;
  int Descent = 0;
  int AveCharWidth = 0;
  int UnderlinePosition = 0;  // pixels below the baseline
  int UnderlineThickness = 1;
  int StrikeoutPosition = 0;  // pixels above the baseline
  int StrikeoutThickness = 1;
};

// A line of text laid out in one font: each code point becomes one glyph at
// X (pixels from the start of the line); Width is the sum of the advances.
struct TTextLine {
  TFontMetrics Metrics;
  int Width = 0;
  struct Item {
    int X = 0;
    std::shared_ptr<const TGlyphImage> Glyph;
  };
  std::vector<Item> Items;
};

// The process-wide font and glyph cache: resolved faces, open FreeType faces
// and rendered glyphs, keyed by file, pixel size, glyph and style. All access
// is serialised by one mutex, so any thread may measure or draw text.
class TFontCache {
 public:
  static TFontCache& Global();

  // Without the system's font lookup every face falls back to the first sans
  // face found on disk (what happens when the lookup cannot start).
  explicit TFontCache(bool useSystemLookup = true);
  ~TFontCache();
  TFontCache(const TFontCache&) = delete;
  TFontCache& operator=(const TFontCache&) = delete;

  TFontMetrics Metrics(const TFont& font);
  // tabWidth > 0 expands tabs to the next multiple of it; otherwise control
  // characters take no room and draw nothing.
  TTextLine Layout(const TFont& font, std::u32string_view text, int tabWidth = 0);
  std::string FontFile(const TFont& font);

 private:
  struct Impl;
  std::mutex Mutex_;
  std::unique_ptr<Impl> Impl_;
};
