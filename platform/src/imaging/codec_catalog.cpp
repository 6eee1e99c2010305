#include "imaging/codec_catalog.h"

#include <cstring>
#include <string>
#include <vector>

namespace ce {
namespace {

constexpr CLSID codecClsid(DWORD first) {
  return {first, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
}

struct Codec {
  CLSID clsid;
  GUID format;
  const char16_t *name;
  const char16_t *description;
  const char16_t *extensions;
  const char16_t *mime;
  std::vector<std::uint8_t> signature;
  bool encodes;
};

const std::vector<Codec> &codecs() {
  static const std::vector<Codec> all = {
      {codecClsid(0x557CF400),
       ImageFormatBMP,
       u"BMP codec",
       u"BMP",
       u"*.BMP;*.DIB",
       u"image/bmp",
       {'B', 'M'},
       false},
      {codecClsid(0x557CF401),
       ImageFormatJPEG,
       u"JPEG codec",
       u"JPEG",
       u"*.JPG;*.JPEG;*.JPE",
       u"image/jpeg",
       {0xFF, 0xD8},
       false},
      {codecClsid(0x557CF402),
       ImageFormatGIF,
       u"GIF codec",
       u"GIF",
       u"*.GIF",
       u"image/gif",
       {'G', 'I', 'F'},
       false},
      {CLSID_PngEncoder,
       ImageFormatPNG,
       u"PNG codec",
       u"PNG",
       u"*.PNG",
       u"image/png",
       {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A},
       true},
  };
  return all;
}

std::size_t stringBytes(const char16_t *s) {
  return (std::char_traits<char16_t>::length(s) + 1) * 2;
}

} // namespace

HRESULT CodecCatalog::list(bool encoders, UINT *count, ImageCodecInfo **out) {
  if (!count || !out)
    return E_INVALIDARG;
  *count = 0;
  *out = nullptr;
  std::vector<const Codec *> chosen;
  for (const Codec &c : codecs())
    if (!encoders || c.encodes)
      chosen.push_back(&c);

  std::size_t total = chosen.size() * sizeof(ImageCodecInfo);
  for (const Codec *c : chosen)
    total += stringBytes(c->name) + stringBytes(c->description) + stringBytes(c->extensions) +
             stringBytes(c->mime) + 2 * c->signature.size();
  auto *block = static_cast<std::uint8_t *>(CoTaskMemAlloc(total));
  if (!block)
    return E_OUTOFMEMORY;
  std::memset(block, 0, total);
  auto *records = reinterpret_cast<ImageCodecInfo *>(block);
  std::uint8_t *cursor = block + chosen.size() * sizeof(ImageCodecInfo);
  auto place = [&cursor](const void *data, std::size_t bytes) {
    std::memcpy(cursor, data, bytes);
    const std::uint8_t *at = cursor;
    cursor += bytes;
    return at;
  };
  for (std::size_t i = 0; i < chosen.size(); ++i) {
    const Codec &c = *chosen[i];
    ImageCodecInfo &r = records[i];
    r.Clsid = c.clsid;
    r.FormatID = c.format;
    r.CodecName = reinterpret_cast<const WCHAR *>(place(c.name, stringBytes(c.name)));
    r.DllName = nullptr;
    r.FormatDescription =
        reinterpret_cast<const WCHAR *>(place(c.description, stringBytes(c.description)));
    r.FilenameExtension =
        reinterpret_cast<const WCHAR *>(place(c.extensions, stringBytes(c.extensions)));
    r.MimeType = reinterpret_cast<const WCHAR *>(place(c.mime, stringBytes(c.mime)));
    r.Flags = (encoders ? ImageCodecFlagsEncoder : ImageCodecFlagsDecoder) |
              ImageCodecFlagsSupportBitmap | ImageCodecFlagsBuiltin;
    r.Version = 1;
    r.SigCount = 1;
    r.SigSize = DWORD(c.signature.size());
    r.SigPattern = place(c.signature.data(), c.signature.size());
    const std::vector<std::uint8_t> mask(c.signature.size(), 0xFF);
    r.SigMask = place(mask.data(), mask.size());
  }
  *count = UINT(chosen.size());
  *out = records;
  return S_OK;
}

} // namespace ce
