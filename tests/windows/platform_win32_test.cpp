// The Windows sides of the platform layer: the executable's own path and
// the font lookup (registry list of installed fonts, bundled DejaVu files
// for families the machine lacks).
#include <gtest/gtest.h>

#include "font_lookup.h"
#include "process_info.h"
#include "winapi.h"

namespace {

constexpr const char* FontsKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

std::string Folder(const std::string& path) { return path.substr(0, path.find_last_of("\\/") + 1); }

std::string FileName(const std::string& path) { return path.substr(path.find_last_of("\\/") + 1); }

TEST(ExecutablePathTest, IsTheAbsolutePathOfThisProgram) {
  const std::string path = platform::ExecutablePath();
  ASSERT_GE(path.size(), 3u);
  EXPECT_EQ(path.substr(1, 2), ":\\") << path;
  EXPECT_EQ(FileName(path), "platform_win32_test.exe");
  EXPECT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(platform::ProgramName(), "platform_win32_test");  // no folder, no extension
}

// A family registered for the current user, pointing at files of our own,
// as an installer registers a font.
class FontLookupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, FontsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &Key_, nullptr),
        ERROR_SUCCESS);
    Register("Pinlark Probe (TrueType)", Bundled("DejaVuSerif.ttf"));
    Register("Pinlark Probe Bold (TrueType)", Bundled("DejaVuSerif-Bold.ttf"));
    Register("Pinlark Bitmap 8,10,12", Bundled("DejaVuSans.fon"));
    Lookup_ = platform::CreateFontLookup();
    ASSERT_NE(Lookup_, nullptr);
  }
  void TearDown() override {
    for (const char* name :
         {"Pinlark Probe (TrueType)", "Pinlark Probe Bold (TrueType)", "Pinlark Bitmap 8,10,12"})
      RegDeleteValueA(Key_, name);
    RegCloseKey(Key_);
  }

  static std::string Bundled(const char* file) { return Folder(platform::ExecutablePath()) + file; }
  void Register(const char* name, const std::string& file) {
    ASSERT_EQ(RegSetValueExA(Key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                             DWORD(file.size() + 1)),
              ERROR_SUCCESS);
  }

  HKEY Key_ = nullptr;
  std::unique_ptr<platform::FontLookup> Lookup_;
};

TEST_F(FontLookupTest, RegisteredFamilyGivesItsFilePerStyle) {
  struct TCase {
    bool Bold;
    bool Italic;
    const char* File;
    bool FaceBold;
  };
  for (const TCase c :
       {TCase{false, false, "DejaVuSerif.ttf", false}, TCase{true, false, "DejaVuSerif-Bold.ttf", true},
        TCase{true, true, "DejaVuSerif-Bold.ttf", true}, TCase{false, true, "DejaVuSerif.ttf", false}}) {
    const auto face = Lookup_->Match("pinlark PROBE", c.Bold, c.Italic);
    ASSERT_TRUE(face) << c.Bold << c.Italic;
    EXPECT_EQ(FileName(face->File), c.File) << c.Bold << c.Italic;
    EXPECT_EQ(face->Bold, c.FaceBold);
    EXPECT_FALSE(face->Italic) << "the family has no slanted face: the caller synthesises it";
  }
}

TEST_F(FontLookupTest, MissingFamiliesTakeTheBundledStandInOfTheirClass) {
  struct TCase {
    const char* Family;
    bool Bold;
    const char* File;
  };
  for (const TCase c :
       {TCase{"Verdana", true, "DejaVuSans-Bold.ttf"}, TCase{"Times New Roman", false, "DejaVuSerif.ttf"},
        TCase{"Courier New", false, "DejaVuSansMono.ttf"}, TCase{"No Such Family", false, "DejaVuSans.ttf"},
        TCase{"Pinlark Bitmap", false, "DejaVuSans.ttf"}}) {
    const auto face = Lookup_->Match(c.Family, c.Bold, false);
    ASSERT_TRUE(face) << c.Family;
    EXPECT_EQ(face->File, Bundled(c.File)) << c.Family;
    EXPECT_EQ(face->Bold, c.Bold);
  }
}

TEST(FontFallbackTest, FilesAndFoldersStartBesideTheExecutable) {
  const std::string folder = Folder(platform::ExecutablePath());
  const std::vector<std::string> files = platform::FallbackFontFiles();
  ASSERT_FALSE(files.empty());
  EXPECT_EQ(files.front(), folder + "DejaVuSans.ttf");
  const std::vector<std::string> folders = platform::FontFolders();
  ASSERT_FALSE(folders.empty());
  EXPECT_EQ(folders.front() + "\\", folder);
}

}  // namespace
