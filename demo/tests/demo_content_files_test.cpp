// The files demo_content lays out: icons, icon libraries, wallpapers and the Start menu tree.
#include "demo_device_fixture.h"

#include "demo_catalog.h"
#include "demo_content.h"
#include "device_file_writer.h"

#include <ce/core/utf.h>

#include <map>
#include <set>

namespace demo_test {
namespace {

using ce::demo::DeviceFileWriter;

std::vector<std::uint8_t> readDevice(const std::u16string &path) {
  std::vector<std::uint8_t> bytes;
  EXPECT_EQ(DeviceFileWriter::read(path, bytes), DWORD(ERROR_SUCCESS)) << ce::toUtf8(path);
  return bytes;
}

std::uint32_t u16At(const std::vector<std::uint8_t> &b, std::size_t at) {
  return b[at] | (std::uint32_t(b[at + 1]) << 8);
}
std::uint32_t u32At(const std::vector<std::uint8_t> &b, std::size_t at) {
  return u16At(b, at) | (u16At(b, at + 2) << 16);
}

IImagingFactory *factory() {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  IImagingFactory *f = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IImagingFactory, reinterpret_cast<void **>(&f)),
            S_OK);
  return f;
}

// The side of an icon's colour bitmap, or 0.
int iconSide(HICON icon) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info))
    return 0;
  BITMAP bitmap{};
  GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return bitmap.bmWidth == bitmap.bmHeight ? bitmap.bmWidth : -1;
}

// Decodes one PNG and returns its pixels as 32 bpp ARGB (empty on failure).
std::vector<std::uint32_t> decodeArgb(IImagingFactory *f, const std::uint8_t *data,
                                      std::size_t size, UINT *width, UINT *height) {
  IImage *image = nullptr;
  if (FAILED(f->CreateImageFromBuffer(data, UINT(size), BufferDisposalFlagNone, &image)))
    return {};
  ImageInfo info{};
  image->GetImageInfo(&info);
  IBitmapImage *bitmap = nullptr;
  std::vector<std::uint32_t> pixels;
  if (SUCCEEDED(f->CreateBitmapFromImage(image, 0, 0, PixelFormat32bppARGB,
                                         InterpolationHintDefault, &bitmap))) {
    BitmapData data{};
    if (SUCCEEDED(bitmap->LockBits(nullptr, ImageLockModeRead, PixelFormat32bppARGB, &data))) {
      for (UINT y = 0; y < data.Height; ++y) {
        const auto *row = reinterpret_cast<const std::uint32_t *>(
            static_cast<std::uint8_t *>(data.Scan0) + std::ptrdiff_t(y) * data.Stride);
        pixels.insert(pixels.end(), row, row + data.Width);
      }
      bitmap->UnlockBits(&data);
    }
    bitmap->Release();
  }
  image->Release();
  *width = info.Width;
  *height = info.Height;
  return pixels;
}

TEST_F(DemoDevice, ProgramIconsHoldEverySizeAsDistinctRoundedTiles) {
  IImagingFactory *f = factory();
  ASSERT_NE(f, nullptr);
  std::set<std::vector<std::uint32_t>> seen;
  for (const auto &program : ce::demo::samplePrograms()) {
    const std::u16string path = u"\\Windows\\" + std::u16string(program.file);
    SCOPED_TRACE(ce::toUtf8(path));
    EXPECT_EQ(GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES, sampleProgramBuilt());

    // The icon file's own directory: PNG entries at every size, in order.
    const std::vector<std::uint8_t> ico = readDevice(path + u".ico");
    ASSERT_GE(ico.size(), 6u);
    ASSERT_EQ(u16At(ico, 2), 1u);
    const auto &sides = ce::demo::DemoContent::iconSides();
    ASSERT_EQ(u16At(ico, 4), sides.size());
    for (std::size_t i = 0; i < sides.size(); ++i) {
      const std::size_t entry = 6 + 16 * i;
      const std::size_t size = u32At(ico, entry + 8), offset = u32At(ico, entry + 12);
      ASSERT_LE(offset + size, ico.size());
      UINT width = 0, height = 0;
      const auto pixels = decodeArgb(f, ico.data() + offset, size, &width, &height);
      ASSERT_EQ(int(width), sides[i]);
      ASSERT_EQ(int(height), sides[i]);
      ASSERT_EQ(pixels.size(), std::size_t(width) * height);
      // Transparent corners around an opaque tile.
      EXPECT_EQ(pixels[0] >> 24, 0u);
      EXPECT_EQ(pixels[pixels.size() - 1] >> 24, 0u);
      EXPECT_EQ(pixels[(height / 2) * width + width / 2] >> 24, 255u);
      if (sides[i] == 64) {
        EXPECT_TRUE(seen.insert(pixels).second) << "same picture as another program";
      }
    }

    // Extraction through the program's own name finds the sidecar, at the device's sizes.
    if (sampleProgramBuilt()) {
      HICON large = nullptr, small = nullptr;
      ASSERT_EQ(ExtractIconExW(path.c_str(), 0, &large, &small, 1), 1u);
      EXPECT_EQ(iconSide(large), 64);
      EXPECT_EQ(iconSide(small), 32);
      DestroyIcon(large);
      DestroyIcon(small);
    }
  }
  f->Release();
}

TEST_F(DemoDevice, ShellLibrariesHoldEveryIconByResourceId) {
  const std::u16string libraries[] = {u"\\Windows\\shellres.dll", u"\\Windows\\shellres.192.dll"};
  for (const std::u16string &library : libraries) {
    SCOPED_TRACE(ce::toUtf8(library));
    EXPECT_EQ(ExtractIconExW(library.c_str(), -1, nullptr, nullptr, 0),
              UINT(ce::demo::shellIcons().size()));
    for (const auto &entry : ce::demo::shellIcons()) {
      HICON large = nullptr, small = nullptr;
      ASSERT_EQ(ExtractIconExW(library.c_str(), -int(entry.id), &large, &small, 1), 1u)
          << ce::toUtf8(entry.description);
      EXPECT_EQ(iconSide(large), 64);
      EXPECT_EQ(iconSide(small), 32);
      DestroyIcon(large);
      DestroyIcon(small);
    }
    HICON none = nullptr;
    EXPECT_EQ(ExtractIconExW(library.c_str(), -99, &none, nullptr, 1), 0u);
  }
}

TEST_F(DemoDevice, WallpapersDecodeAtTheScreenSizeInBothOrientations) {
  IImagingFactory *f = factory();
  ASSERT_NE(f, nullptr);
  const std::pair<int, int> sizes[] = {{480, 640}, {640, 480}};
  for (const auto &[width, height] : sizes) {
    const std::u16string path = ce::demo::DemoContent::wallpaperPath(width, height);
    IImage *image = nullptr;
    ASSERT_EQ(f->CreateImageFromFile(path.c_str(), &image), S_OK) << ce::toUtf8(path);
    ImageInfo info{};
    image->GetImageInfo(&info);
    EXPECT_EQ(info.RawDataFormat, ImageFormatJPEG);
    EXPECT_EQ(int(info.Width), width);
    EXPECT_EQ(int(info.Height), height);
    image->Release();
  }
  f->Release();
}

TEST_F(DemoDevice, StartMenuShortcutsLeadToTheInstalledPrograms) {
  // Every shortcut in the tree, by its device path relative to \Windows\Start Menu.
  std::map<std::u16string, std::string> shortcuts;
  std::vector<std::u16string> folders{u""};
  while (!folders.empty()) {
    const std::u16string folder = folders.back();
    folders.pop_back();
    WIN32_FIND_DATAW found{};
    const std::u16string pattern = u"\\Windows\\Start Menu" + folder + u"\\*";
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    do {
      const std::u16string name = folder + u"\\" + found.cFileName;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        folders.push_back(name);
      } else {
        const auto bytes = readDevice(u"\\Windows\\Start Menu" + name);
        shortcuts[name] = std::string(bytes.begin(), bytes.end());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }

  for (const auto &program : ce::demo::samplePrograms()) {
    std::u16string expected = u"\\Programs";
    if (!program.folder.empty())
      expected += u"\\" + std::u16string(program.folder);
    expected += u"\\" + std::u16string(program.name) + u".lnk";
    EXPECT_EQ(shortcuts.count(expected), 1u) << ce::toUtf8(expected);
    EXPECT_EQ(shortcuts.count(u"\\" + std::u16string(program.name) + u".lnk"),
              program.pinned ? 1u : 0u);
  }
  ASSERT_EQ(shortcuts.count(u"\\Settings\\icon.lnk"), 1u);

  for (const auto &[name, text] : shortcuts) {
    SCOPED_TRACE(ce::toUtf8(name));
    // "<length>#<target>", the length counting what follows the '#'.
    const auto hash = text.find('#');
    ASSERT_NE(hash, std::string::npos);
    EXPECT_EQ(std::stoul(text.substr(0, hash)), text.size() - hash - 1);
    const std::u16string target = ce::toUtf16(text.substr(hash + 1));
    if (name == u"\\Settings\\icon.lnk") {
      // The Settings folder's icon: a reference into the shell's icon library.
      const auto comma = target.find(u',');
      ASSERT_NE(comma, std::u16string::npos);
      HICON icon = nullptr;
      EXPECT_EQ(ExtractIconExW(target.substr(0, comma).c_str(),
                               std::stoi(ce::toUtf8(target.substr(comma + 1))), &icon, nullptr, 1),
                1u);
      DestroyIcon(icon);
      continue;
    }
    ASSERT_NE(ce::demo::findProgram(target), nullptr);
    if (sampleProgramBuilt()) {
      EXPECT_NE(GetFileAttributesW(target.c_str()), INVALID_FILE_ATTRIBUTES);
    }
  }
}

TEST_F(DemoDevice, DocumentClassesNameShellIcons) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, u"txtfile\\DefaultIcon", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  WCHAR value[MAX_PATH] = {};
  DWORD size = sizeof value;
  ASSERT_EQ(
      RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE *>(value), &size),
      ERROR_SUCCESS);
  RegCloseKey(key);
  const std::u16string reference = value;
  const auto comma = reference.find(u',');
  ASSERT_NE(comma, std::u16string::npos);
  HICON icon = nullptr;
  EXPECT_EQ(ExtractIconExW(reference.substr(0, comma).c_str(),
                           std::stoi(ce::toUtf8(reference.substr(comma + 1))), &icon, nullptr, 1),
            1u);
  DestroyIcon(icon);
}

class SmallDemoDevice : public DemoDevice {
protected:
  SmallDemoDevice() { screen_ = "240x320"; }
};

TEST_F(SmallDemoDevice, IconsAndWallpapersFollowTheSmallScreen) {
  EXPECT_NE(GetFileAttributesW(u"\\Windows\\stwater_240_320.jpg"), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesW(u"\\Windows\\stwater_320_240.jpg"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesW(u"\\Windows\\stwater_480_640.jpg"), INVALID_FILE_ATTRIBUTES);
  // At 96 dots per inch the icon libraries answer with their 32- and 16-pixel pictures.
  HICON large = nullptr, small = nullptr;
  ASSERT_EQ(ExtractIconExW(u"\\Windows\\shellres.dll", -int(ce::demo::ShellIcon::Folder), &large,
                           &small, 1),
            1u);
  EXPECT_EQ(iconSide(large), 32);
  EXPECT_EQ(iconSide(small), 16);
  DestroyIcon(large);
  DestroyIcon(small);
}

TEST_F(DemoDevice, RunningTheGeneratorAgainRewritesTheSameContent) {
  const auto before = readDevice(u"\\Windows\\shellres.dll");
  std::string output;
  ASSERT_EQ(runCommand(std::string(DEMO_CONTENT_PROGRAM) + " --device " + quoted(root_), &output),
            0)
      << output;
  EXPECT_EQ(readDevice(u"\\Windows\\shellres.dll"), before);
  // Nothing is left in the scratch folder.
  EXPECT_EQ(GetFileAttributesW(u"\\Temp\\demo_content.png"), INVALID_FILE_ATTRIBUTES);
}

TEST(DemoContentProgram, RefusesWhatIsNotADeviceAndReportsAMissingPayload) {
  std::string pattern = (std::filesystem::temp_directory_path() / "demo_plain_XXXXXX").string();
  ASSERT_NE(mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path folder = pattern;
  std::string output;
  EXPECT_EQ(runCommand(std::string(DEMO_CONTENT_PROGRAM) + " --device " + quoted(folder), &output),
            2);
  EXPECT_NE(output.find("not a device root"), std::string::npos) << output;
  EXPECT_EQ(runCommand(std::string(DEMO_CONTENT_PROGRAM), &output), 2);

  // A device, but a payload folder without the applet libraries: the step fails by name.
  ASSERT_EQ(runCommand(std::string(DEVICE_TOOL_PROGRAM) + " --device " + quoted(folder / "device") +
                       " create"),
            0);
  EXPECT_EQ(runCommand(std::string(DEMO_CONTENT_PROGRAM) + " --device " +
                           quoted(folder / "device") + " --payload " + quoted(folder / "empty"),
                       &output),
            3);
  EXPECT_NE(output.find("personal.cpl is missing"), std::string::npos) << output;
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}

} // namespace
} // namespace demo_test
