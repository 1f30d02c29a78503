#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "graphics.h"

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

struct PngWriter {
  png_structp Png = nullptr;
  png_infop Info = nullptr;
  PngWriter() {
    Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (Png != nullptr) Info = png_create_info_struct(Png);
  }
  ~PngWriter() { png_destroy_write_struct(&Png, &Info); }
  PngWriter(const PngWriter&) = delete;
  PngWriter& operator=(const PngWriter&) = delete;
};

bool Fail(std::string* error, const std::string& message) {
  if (error != nullptr) *error = message;
  return false;
}

// Kept apart from SaveSurfaceToPng so no object with a destructor lives in
// the frame that setjmp returns to.
bool WriteRows(PngWriter& w, std::FILE* f, const TSurface& surface, std::vector<png_byte>& row) {
  if (setjmp(png_jmpbuf(w.Png))) return false;
  png_init_io(w.Png, f);
  png_set_IHDR(w.Png, w.Info, png_uint_32(surface.Width()), png_uint_32(surface.Height()), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(w.Png, w.Info);
  for (int y = 0; y < surface.Height(); ++y) {
    const TPixel* src = surface.Row(y);
    for (int x = 0; x < surface.Width(); ++x) {
      row[std::size_t(x) * 3] = png_byte(src[x] >> 16);
      row[std::size_t(x) * 3 + 1] = png_byte(src[x] >> 8);
      row[std::size_t(x) * 3 + 2] = png_byte(src[x]);
    }
    png_write_row(w.Png, row.data());
  }
  png_write_end(w.Png, nullptr);
  return true;
}

}  // namespace

bool SaveSurfaceToPng(const TSurface& surface, const std::string& path, std::string* error) {
  if (surface.Width() <= 0 || surface.Height() <= 0) return Fail(error, "cannot save an empty picture");
  std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "wb"));
  if (!f) return Fail(error, path + ": " + std::strerror(errno));
  PngWriter w;
  if (w.Png == nullptr || w.Info == nullptr) return Fail(error, "out of memory");
  std::vector<png_byte> row(std::size_t(surface.Width()) * 3);
  if (!WriteRows(w, f.get(), surface, row)) return Fail(error, path + ": PNG encoding failed");
  if (std::fflush(f.get()) != 0) return Fail(error, path + ": " + std::strerror(errno));
  return true;
}
