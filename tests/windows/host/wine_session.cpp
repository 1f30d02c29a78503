#include "wine_session.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>

namespace pinlark::wine {

namespace {

std::string FromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

TWineSession::TWineSession(const std::string& screen)
    : Prefix_(FromEnvironment("PINLARK_WINE_PREFIX")),
      Bin_(FromEnvironment("PINLARK_WINDOWS_BIN")),
      RunScript_(FromEnvironment("PINLARK_WINE_RUN")) {
  if (Prefix_.empty() || Bin_.empty() || RunScript_.empty()) {
    Problem_ = "PINLARK_WINE_PREFIX, PINLARK_WINDOWS_BIN and PINLARK_WINE_RUN must be set (CTest sets them)";
    return;
  }
  for (const char* tool : {"wine", "wineserver"}) {
    if (!OnPath(tool)) {
      Problem_ = std::string(tool) + " is missing: run scripts/setup.sh --test";
      return;
    }
  }
  // The prefix's desktop starts with its first program and stays on that
  // display: nothing of an earlier test may still run.
  if (!WaitForQuiet()) {
    Problem_ = "the prefix's wineserver did not end";
    return;
  }
  Display_ = std::make_unique<TXSession>(screen);
  Problem_ = Display_->Problem();
  // Away from where the windows open, so no hover shows.
  if (Problem_.empty()) Xdotool(DisplayName(), {"mousemove", "0", "0"});
}

TWineSession::~TWineSession() {
  if (Prefix_.empty()) return;
  Tool({"wineserver", "-k"});
  WaitForQuiet();
}

std::vector<std::string> TWineSession::Environment() const {
  return {"WINEPREFIX=" + Prefix_, "WINEDEBUG=-all"};
}

std::unique_ptr<TChild> TWineSession::Start(const std::vector<std::string>& argv,
                                            const std::string& stdoutPath, const std::string& stderrPath) {
  std::vector<std::string> command{"bash", RunScript_, Prefix_};
  command.insert(command.end(), argv.begin(), argv.end());
  TChildOptions options = TChildOptions().WithStdout(stdoutPath).WithStderr(stderrPath);
  if (Display_) options.WithEnv("PINLARK_WINE_DISPLAY=" + DisplayName());
  for (const std::string& e : Environment()) options.WithEnv(e);
  return std::make_unique<TChild>(command, options);
}

std::optional<int> TWineSession::Run(const std::vector<std::string>& argv, const std::string& stdoutPath) {
  std::unique_ptr<TChild> child = Start(argv, stdoutPath, Temp() + "/run-stderr.txt");
  return child->Wait(WaitLimit);
}

std::optional<int> TWineSession::Tool(const std::vector<std::string>& argv) {
  TChildOptions options = TChildOptions().WithStdout("/dev/null").WithStderr("/dev/null");
  if (Display_) options.WithDisplay(DisplayName());
  for (const std::string& e : Environment()) options.WithEnv(e);
  TChild tool(argv, options);
  return tool.Wait(std::chrono::seconds(60));
}

bool TWineSession::WaitForQuiet() { return Tool({"wineserver", "-w"}) == 0; }

std::string TWineSession::DriverService() {
  const std::string out = Temp() + "/service.txt";
  if (Run({Bin_ + "/service_probe.exe", "query"}, out) != 0) return "service_probe failed";
  std::string state = WindowsText(out);
  while (!state.empty() && state.back() == '\n') state.pop_back();
  return state;
}

std::string WindowsText(const std::string& path) {
  std::string text = ReadFile(path);
  std::erase(text, '\r');
  return text;
}

std::optional<TImage> ReadPng(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return std::nullopt;
  image.format = PNG_FORMAT_BGRA;  // 0xAARRGGBB words on a little-endian machine
  TImage out;
  out.Width = int(image.width);
  out.Height = int(image.height);
  out.Pixels.resize(std::size_t(image.width) * image.height);
  if (!png_image_finish_read(&image, nullptr, out.Pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return std::nullopt;
  }
  for (std::uint32_t& p : out.Pixels) p &= 0x00FFFFFF;
  return out;
}

TImage GrabWindow(TXClient& x, TWindowId w, int width, int height) {
  TImage out{width, height, {}};
  for (const TRgb& c : x.Grab(w, {0, 0, width, height}))
    out.Pixels.push_back(std::uint32_t(c.R) << 16 | std::uint32_t(c.G) << 8 | std::uint32_t(c.B));
  return out;
}

TDifference Compare(const TImage& a, const TImage& b) {
  TDifference d;
  if (a.Width != b.Width || a.Height != b.Height || a.Pixels.size() != b.Pixels.size()) {
    d.Count = -1;
    return d;
  }
  for (std::size_t i = 0; i < a.Pixels.size(); ++i) {
    if (a.Pixels[i] == b.Pixels[i]) continue;
    if (d.Count++ == 0) {
      d.FirstX = int(i % std::size_t(a.Width));
      d.FirstY = int(i / std::size_t(a.Width));
    }
  }
  return d;
}

}  // namespace pinlark::wine
