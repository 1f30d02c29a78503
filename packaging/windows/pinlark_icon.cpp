// pinlark_icon OUT.ico: the main window's icon as a Windows icon file, the
// program's resource icon. The window draws it at 16 x 16; the larger sizes
// Windows asks for show each of its pixels as a whole block, as the window
// itself does on a high-resolution screen. packaging/windows/render-icon.sh
// runs it; the Windows tests check that pinlark.ico is what it makes.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Unit1.h"
#include "headless_app.h"

namespace {

constexpr int Sizes[] = {16, 32, 48, 64, 256};
// Larger than this, an entry is a PNG image, as Windows reads from Vista on.
constexpr int LargestBitmap = 64;

using TBytes = std::vector<std::uint8_t>;

void Put16(TBytes& out, unsigned v) {
  out.push_back(std::uint8_t(v));
  out.push_back(std::uint8_t(v >> 8));
}
void Put32(TBytes& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

TSurface Enlarged(const TSurface& icon, int size) {
  const int factor = size / icon.Width();
  TSurface out(size, size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) out.Row(y)[x] = icon.At(x / factor, y / factor);
  return out;
}

// A 32-bit bitmap entry: its header (twice the height: colours, then the
// mask), rows bottom up, every pixel opaque, and an all-clear mask.
TBytes BitmapEntry(const TSurface& image) {
  const int size = image.Width();
  const int maskRow = (size + 31) / 32 * 4;
  TBytes out;
  Put32(out, 40);
  Put32(out, std::uint32_t(size));
  Put32(out, std::uint32_t(2 * size));
  Put16(out, 1);
  Put16(out, 32);
  Put32(out, 0);
  Put32(out, std::uint32_t(size * size * 4 + maskRow * size));
  for (int i = 0; i < 4; ++i) Put32(out, 0);
  for (int y = size - 1; y >= 0; --y)
    for (int x = 0; x < size; ++x) Put32(out, 0xFF000000u | (image.At(x, y) & 0xFFFFFF));
  out.insert(out.end(), std::size_t(maskRow * size), 0);
  return out;
}

bool PngEntry(const TSurface& image, const std::string& scratch, TBytes& out) {
  if (!SaveSurfaceToPng(image, scratch)) return false;
  std::ifstream in(scratch, std::ios::binary);
  out.assign(std::istreambuf_iterator<char>(in), {});
  in.close();
  std::remove(scratch.c_str());
  return !out.empty();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: pinlark_icon OUT.ico\n");
    return 2;
  }
  const std::string path = argv[1];
  THeadlessApp app;
  // The window's constructor draws the icon; start-up (FormCreate) never runs.
  auto* form = new TForm1(&app.App());
  const TSurface& icon = form->Icon().Surface();

  std::vector<TBytes> images;
  for (int size : Sizes) {
    const TSurface image = Enlarged(icon, size);
    TBytes entry;
    if (size <= LargestBitmap)
      entry = BitmapEntry(image);
    else if (!PngEntry(image, path + ".png", entry)) {
      std::fprintf(stderr, "pinlark_icon: cannot make the %d-pixel image\n", size);
      return 1;
    }
    images.push_back(std::move(entry));
  }

  TBytes file;
  Put16(file, 0);
  Put16(file, 1);  // an icon
  Put16(file, unsigned(images.size()));
  std::uint32_t offset = 6 + 16 * std::uint32_t(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    file.push_back(std::uint8_t(Sizes[i] % 256));  // 256 is written 0
    file.push_back(std::uint8_t(Sizes[i] % 256));
    file.push_back(0);  // no palette
    file.push_back(0);
    Put16(file, 1);
    Put16(file, 32);
    Put32(file, std::uint32_t(images[i].size()));
    Put32(file, offset);
    offset += std::uint32_t(images[i].size());
  }
  for (const TBytes& image : images) file.insert(file.end(), image.begin(), image.end());

  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  if (!out.flush()) {
    std::fprintf(stderr, "pinlark_icon: cannot write %s\n", path.c_str());
    return 1;
  }
  return 0;
}
