#include <toolkit/image/imaging_factory.h>
#include <toolkit/surface/drawing_reports.h>

#include <ce/kernel.h>

#include <map>
#include <mutex>

namespace {

std::mutex factoriesMutex;
// Kept for the life of the process (never destroyed at exit, so the factories stay reachable).
std::map<DWORD, IImagingFactory *> &factories = *new std::map<DWORD, IImagingFactory *>;

} // namespace

IImagingFactory *ImagingFactory::forThread() {
  const DWORD thread = GetCurrentThreadId();
  {
    std::lock_guard guard(factoriesMutex);
    if (auto found = factories.find(thread); found != factories.end())
      return found->second;
  }
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  IImagingFactory *factory = nullptr;
  const HRESULT result = CoCreateInstance(CLSID_ImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                          IID_IImagingFactory, reinterpret_cast<void **>(&factory));
  if (FAILED(result) || !factory) {
    reportImgError(result, u"CoCreateInstance ImagingFactory");
    return nullptr;
  }
  std::lock_guard guard(factoriesMutex);
  factories[thread] = factory;
  return factory;
}

void ImagingFactory::releaseAll() {
  std::lock_guard guard(factoriesMutex);
  for (auto &entry : factories)
    entry.second->Release();
  factories.clear();
}

const std::vector<ImageCodecInfo> &ImagingFactory::installedEncoders() {
  static const std::vector<ImageCodecInfo> encoders = [] {
    std::vector<ImageCodecInfo> list;
    IImagingFactory *factory = forThread();
    UINT count = 0;
    ImageCodecInfo *codecs = nullptr;
    if (!factory)
      return list;
    const HRESULT result = factory->GetInstalledEncoders(&count, &codecs);
    if (FAILED(result) || !codecs) {
      reportImgError(result, u"GetInstalledEncoders");
      return list;
    }
    // The name pointers point into the same block, so only the identifiers stay usable.
    for (UINT i = 0; i < count; ++i) {
      ImageCodecInfo info{};
      info.Clsid = codecs[i].Clsid;
      info.FormatID = codecs[i].FormatID;
      info.Flags = codecs[i].Flags;
      list.push_back(info);
    }
    CoTaskMemFree(codecs);
    return list;
  }();
  return encoders;
}
