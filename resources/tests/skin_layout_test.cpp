// The skin as the build lays it out, read back the way the programs read it: installed into a
// device's "resources\" folder and decoded with the platform's imaging. Each picture must have
// the size and frame layout the widgets cut it by, survive being halved for a 240-pixel screen
// with whole frames, be transparent where it is drawn over other content and opaque where it is
// a backdrop. The fonts must be the intended faces and ship with their licence texts.
#include <ce/core/utf.h>
#include <ce/imaging.h>
#include <ce/testing/temp_device.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kSkin = fs::path(CE_BINARY_DIR) / "resources" / "skin";

// How a picture meets what lies beneath it.
enum class Edges {
  Opaque,     // a backdrop: every pixel fully opaque
  SeeThrough, // drawn over other content: the top-left pixel of every frame is transparent
};

struct Picture {
  const char *file; // relative to the resources folder
  int width;
  int height;
  int frames; // side by side, each width / frames wide
  Edges edges;
};

const Picture kPictures[] = {
    {"VGA/bg_common_titlebar.png", 480, 64, 1, Edges::Opaque},
    {"VGA/bg_common_divider_section.png", 480, 44, 1, Edges::Opaque},
    {"VGA/btn_common_msgbox_large.png", 1600, 64, 4, Edges::SeeThrough},
    {"VGA/btn_common_msgbox_small.png", 760, 64, 4, Edges::SeeThrough},
    {"VGA/btn_common_normal.png", 1840, 72, 4, Edges::SeeThrough},
    {"VGA/btn_common_switch.png", 784, 64, 7, Edges::SeeThrough},
    {"VGA/btn_common_checkbox.png", 384, 64, 6, Edges::SeeThrough},
    {"VGA/btn_common_input.png", 72, 64, 3, Edges::SeeThrough},
    {"VGA/btn_common_listitem.png", 1760, 64, 4, Edges::SeeThrough},
    {"VGA/pivot_leftarrow.png", 64, 64, 1, Edges::SeeThrough},
    {"VGA/pivot_rightarrow.png", 64, 64, 1, Edges::SeeThrough},
    {"VGA/btn_common_combo_down.png", 1760, 64, 4, Edges::SeeThrough},
    {"VGA/btn_common_listitem_bottom.png", 1760, 64, 4, Edges::SeeThrough},
    {"VGA/btn_common_listitem_middle.png", 1760, 64, 4, Edges::SeeThrough},
    {"VGA/bg_common_dotline.png", 480, 1, 1, Edges::SeeThrough},
    {"VGA/bg_common_msgbox.png", 440, 180, 1, Edges::SeeThrough},
    {"VGA/background.png", 800, 800, 1, Edges::Opaque},
    {"VGA/btn_switch_thirdState.png", 224, 64, 2, Edges::SeeThrough},
    {"VGA/btn_checkbox_thirdState.png", 128, 64, 2, Edges::SeeThrough},
    {"VGA/btn_common_slider.png", 880, 64, 2, Edges::SeeThrough},
    {"VGA/sliderBtn.png", 128, 64, 2, Edges::SeeThrough},
    {"dossier.png", 80, 80, 1, Edges::SeeThrough},
    {"noIcones.png", 80, 80, 1, Edges::SeeThrough},
    {"background.png", 800, 800, 1, Edges::Opaque},
};

// A decoded picture as non-premultiplied ARGB rows.
struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<ARGB> argb;
  ARGB at(int x, int y) const { return argb[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
  bool columnsAlike(int from, int to) const {
    for (int y = 0; y < height; ++y)
      for (int x = from + 1; x < to; ++x)
        if (at(x, y) != at(from, y))
          return false;
    return true;
  }
};

class SkinLayout : public TempDevice {
protected:
  void SetUp() override {
    TempDevice::SetUp();
    ASSERT_TRUE(fs::is_directory(kSkin)) << kSkin << " is missing: build skin_resources first";
    const fs::path installed = root_ / "fs" / "Program Files" / "Vireta" / "resources";
    fs::create_directories(installed);
    fs::copy(kSkin, installed, fs::copy_options::recursive);
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    ASSERT_EQ(CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IImagingFactory, reinterpret_cast<void **>(&factory_)),
              S_OK);
  }
  void TearDown() override {
    if (factory_)
      factory_->Release();
    CoUninitialize();
    TempDevice::TearDown();
  }

  // Decodes "\Program Files\Vireta\resources\<file>" as the toolkit does; nothing on failure.
  std::optional<Pixels> decode(const std::string &file) {
    std::u16string path = u"\\Program Files\\Vireta\\resources\\" + ce::toUtf16(file);
    for (auto &c : path)
      if (c == u'/')
        c = u'\\';
    IImage *image = nullptr;
    if (factory_->CreateImageFromFile(path.c_str(), &image) != S_OK)
      return std::nullopt;
    IBitmapImage *bitmap = nullptr;
    const HRESULT hr = factory_->CreateBitmapFromImage(image, 0, 0, PixelFormat32bppARGB,
                                                       InterpolationHintDefault, &bitmap);
    image->Release();
    if (hr != S_OK)
      return std::nullopt;
    Pixels out;
    SIZE size{};
    BitmapData data{};
    if (bitmap->GetSize(&size) == S_OK &&
        bitmap->LockBits(nullptr, ImageLockModeRead, PixelFormat32bppARGB, &data) == S_OK) {
      out.width = int(size.cx);
      out.height = int(size.cy);
      for (LONG y = 0; y < size.cy; ++y) {
        const auto *row = reinterpret_cast<const ARGB *>(
            static_cast<const std::uint8_t *>(data.Scan0) + std::ptrdiff_t(y) * data.Stride);
        out.argb.insert(out.argb.end(), row, row + size.cx);
      }
      bitmap->UnlockBits(&data);
    }
    bitmap->Release();
    if (out.argb.empty())
      return std::nullopt;
    return out;
  }

  IImagingFactory *factory_ = nullptr;
};

std::uint8_t alphaOf(ARGB pixel) { return std::uint8_t(pixel >> 24); }

TEST_F(SkinLayout, EveryPictureHasItsSizeFramesAndEdges) {
  for (const Picture &p : kPictures) {
    SCOPED_TRACE(p.file);
    const auto pixels = decode(p.file);
    ASSERT_TRUE(pixels) << "does not decode";
    EXPECT_EQ(pixels->width, p.width);
    EXPECT_EQ(pixels->height, p.height);
    ASSERT_EQ(p.width % p.frames, 0);
    const int frame = p.width / p.frames;
    // Halved for a 240-pixel screen, every frame stays whole and the same size.
    EXPECT_EQ(frame % 2, 0) << "frames of odd width split when halved";
    EXPECT_TRUE(p.height % 2 == 0 || p.height == 1);

    if (p.edges == Edges::Opaque) {
      bool opaque = true;
      for (ARGB px : pixels->argb)
        opaque = opaque && alphaOf(px) == 255;
      EXPECT_TRUE(opaque) << "a backdrop must not let anything show through";
    } else {
      for (int f = 0; f < p.frames; ++f)
        EXPECT_EQ(alphaOf(pixels->at(f * frame, 0)), 0) << "frame " << f << " has a solid corner";
    }

    // Every frame of a strip shows something of its own: a repeated frame means the strip is
    // cut in the wrong places.
    std::set<std::vector<ARGB>> distinct;
    for (int f = 0; f < p.frames; ++f) {
      std::vector<ARGB> cut;
      for (int y = 0; y < p.height; ++y)
        for (int x = f * frame; x < (f + 1) * frame; ++x)
          cut.push_back(pixels->at(x, y));
      distinct.insert(cut);
    }
    EXPECT_EQ(distinct.size(), std::size_t(p.frames));
  }
}

// The pictures that are stretched or repeated sideways are the same in every column they
// stretch over, so they keep their look on any screen width.
TEST_F(SkinLayout, StretchedPartsAreUniformAcross) {
  const auto title = decode("VGA/bg_common_titlebar.png");
  ASSERT_TRUE(title);
  EXPECT_TRUE(title->columnsAlike(0, title->width));

  // A panel header wider than the picture repeats its rightmost columns; its title starts at 10.
  const auto divider = decode("VGA/bg_common_divider_section.png");
  ASSERT_TRUE(divider);
  EXPECT_TRUE(divider->columnsAlike(10, divider->width));

  // The text field's middle third is stretched between its two ends.
  const auto input = decode("VGA/btn_common_input.png");
  ASSERT_TRUE(input);
  EXPECT_TRUE(input->columnsAlike(input->width / 3, 2 * input->width / 3));
  EXPECT_FALSE(input->columnsAlike(0, input->width / 3)) << "the left end has no rounded edge";
}

// The skin folder holds the 21 common pictures and no other picture.
TEST(SkinFolder, HoldsExactlyTheCommonPictures) {
  std::set<std::string> found, expected;
  for (const auto &entry : fs::directory_iterator(kSkin / "VGA"))
    if (entry.path().extension() == ".png")
      found.insert(entry.path().filename().string());
  for (const Picture &p : kPictures) {
    const std::string file = p.file;
    if (file.rfind("VGA/", 0) == 0)
      expected.insert(file.substr(4));
  }
  EXPECT_EQ(expected.size(), 21u);
  EXPECT_EQ(found, expected);
}

// usWeightClass of a TrueType file's OS/2 table; nothing when the file is not a readable font.
std::optional<int> weightOf(const fs::path &font) {
  std::ifstream in(font, std::ios::binary);
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  auto u16 = [&](std::size_t at) {
    return at + 2 <= bytes.size() ? (bytes[at] << 8) | bytes[at + 1] : -1;
  };
  auto u32 = [&](std::size_t at) -> long {
    return at + 4 <= bytes.size() ? (long(u16(at)) << 16) | u16(at + 2) : -1;
  };
  if (u32(0) != 0x00010000)
    return std::nullopt;
  const int tables = u16(4);
  for (int i = 0; i < tables; ++i) {
    const std::size_t record = 12 + std::size_t(i) * 16;
    if (record + 16 > bytes.size())
      return std::nullopt;
    if (std::string(bytes.begin() + long(record), bytes.begin() + long(record) + 4) == "OS/2") {
      const int weight = u16(std::size_t(u32(record + 8)) + 4);
      if (weight < 0)
        return std::nullopt;
      return weight;
    }
  }
  return std::nullopt;
}

TEST(SkinFonts, ThinAndRegularFacesWithTheirLicences) {
  const auto thin = weightOf(kSkin / "VGA" / "HelveticaNeue LT 35 Thin.ttf");
  const auto regular = weightOf(kSkin / "VGA" / "Tahoma.ttf");
  ASSERT_TRUE(thin && regular) << "a font file is missing or not a TrueType font";
  EXPECT_LT(*thin, 400) << "the title face must be lighter than regular";
  EXPECT_EQ(*regular, 400);

  for (const char *licence :
       {"FONTS.txt", "fonts-dejavu-core.copyright.txt", "fonts-dejavu-extra.copyright.txt"}) {
    SCOPED_TRACE(licence);
    std::ifstream in(kSkin / "VGA" / licence);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    EXPECT_NE(text.find("Bitstream Vera"), std::string::npos);
  }
}

} // namespace
