// The PNG encoder bound to a device file: its sink collects a frame, TerminateEncoder writes it.
#pragma once

#include "imaging/encode_frame.h"
#include "imaging/ref_counted.h"

#include <memory>
#include <string>

namespace ce {

class PngEncoder final : public IImageEncoder {
public:
  explicit PngEncoder(std::u16string path);

  HRESULT QueryInterface(REFIID iid, void **object) override;
  CE_IMPLEMENT_REFCOUNT(PngEncoder)

  // Encodes the frame and replaces the file with it; E_FAIL when no complete frame arrived
  // (the file is then left as it was). A second call fails with E_FAIL.
  HRESULT TerminateEncoder() override;
  HRESULT GetEncodeSink(IImageSink **sink) override;

private:
  ~PngEncoder() = default;

  RefCounted refs_;
  std::u16string path_;
  std::shared_ptr<EncodeFrame> frame_;
  bool terminated_ = false;
};

} // namespace ce
