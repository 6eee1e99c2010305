// A fresh device root per test and an imaging factory on the test's thread.
#pragma once

#include <ce/core/device_root.h>
#include <ce/core/utf.h>
#include <ce/imaging.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace ce::testing {

using Bytes = std::vector<std::uint8_t>;

class ImagingTest : public ::testing::Test {
protected:
  void SetUp() override {
    std::random_device random;
    root_ = std::filesystem::temp_directory_path() /
            ("ce-imaging-" + std::to_string(random()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(root_ / "fs");
    DeviceRoot::use(root_);
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    ASSERT_EQ(CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IImagingFactory, reinterpret_cast<void **>(&factory_)),
              S_OK);
  }
  void TearDown() override {
    if (factory_)
      factory_->Release();
    CoUninitialize();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  void hostWrite(const std::string &relative, const Bytes &bytes) {
    const auto path = root_ / "fs" / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
  }
  Bytes hostRead(const std::string &relative) {
    std::ifstream in(root_ / "fs" / relative, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }

  // Decodes bytes through the factory; null on failure (the code goes to *result).
  IImage *decode(const Bytes &bytes, HRESULT *result = nullptr) {
    IImage *image = nullptr;
    const HRESULT hr = factory_->CreateImageFromBuffer(bytes.data(), UINT(bytes.size()),
                                                       BufferDisposalFlagNone, &image);
    if (result)
      *result = hr;
    return image;
  }

  // The image's pixels as non-premultiplied ARGB (through LockBits).
  std::vector<ARGB> argbOf(IImage *image, PixelFormatID format = PixelFormat32bppARGB) {
    IBitmapImage *bitmap = nullptr;
    EXPECT_EQ(image->QueryInterface(IID_IBitmapImage, reinterpret_cast<void **>(&bitmap)), S_OK);
    if (!bitmap)
      return {};
    SIZE size{};
    bitmap->GetSize(&size);
    BitmapData data{};
    std::vector<ARGB> out;
    if (bitmap->LockBits(nullptr, ImageLockModeRead, format, &data) == S_OK) {
      for (LONG y = 0; y < size.cy; ++y) {
        const auto *row = reinterpret_cast<const ARGB *>(
            static_cast<const std::uint8_t *>(data.Scan0) + std::ptrdiff_t(y) * data.Stride);
        out.insert(out.end(), row, row + size.cx);
      }
      bitmap->UnlockBits(&data);
    }
    bitmap->Release();
    return out;
  }

  ImageInfo infoOf(IImage *image) {
    ImageInfo info{};
    EXPECT_EQ(image->GetImageInfo(&info), S_OK);
    return info;
  }

  std::filesystem::path root_;
  IImagingFactory *factory_ = nullptr;
};

} // namespace ce::testing
