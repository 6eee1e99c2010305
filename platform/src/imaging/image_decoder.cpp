#include "imaging/image_decoder.h"

#include "imaging/dib_reader.h"
#include "imaging/gif_decoder.h"
#include "imaging/jpeg_decoder.h"
#include "imaging/png_codec.h"

namespace ce {

HRESULT ImageDecoder::decode(const std::uint8_t *data, std::size_t size, DecodedImage &out) {
  if (!data || size == 0)
    return E_FAIL;
  if (PngCodec::hasSignature(data, size))
    return PngCodec::decode(data, size, out);
  if (JpegDecoder::hasSignature(data, size))
    return JpegDecoder::decode(data, size, out);
  if (GifDecoder::hasSignature(data, size))
    return GifDecoder::decode(data, size, out);
  if (DibReader::hasFileSignature(data, size))
    return DibReader::decodeFile(data, size, out);
  return IMGERR_CODECNOTFOUND;
}

} // namespace ce
