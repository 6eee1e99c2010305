#include <toolkit/surface/drawing_reports.h>

#include <ce/windows.h>

#include <array>
#include <mutex>
#include <utility>

// Display result codes the platform header leaves out; only their names are used here.
#ifndef DDERR_INCOMPATIBLEPRIMARY
#define DDERR_INCOMPATIBLEPRIMARY MAKE_DDHRESULT(95)
#endif
#ifndef DDERR_NOALPHAHW
#define DDERR_NOALPHAHW MAKE_DDHRESULT(180)
#endif
#ifndef DDERR_NOCLIPLIST
#define DDERR_NOCLIPLIST MAKE_DDHRESULT(205)
#endif
#ifndef DDERR_NOFLIPHW
#define DDERR_NOFLIPHW MAKE_DDHRESULT(230)
#endif
#ifndef DDERR_NOOVERLAYHW
#define DDERR_NOOVERLAYHW MAKE_DDHRESULT(250)
#endif
#ifndef DDERR_NOSTRETCHHW
#define DDERR_NOSTRETCHHW MAKE_DDHRESULT(310)
#endif
#ifndef DDERR_OUTOFVIDEOMEMORY
#define DDERR_OUTOFVIDEOMEMORY MAKE_DDHRESULT(380)
#endif
#ifndef DDERR_WASSTILLDRAWING
#define DDERR_WASSTILLDRAWING MAKE_DDHRESULT(540)
#endif
#ifndef DDERR_NOBLTHW
#define DDERR_NOBLTHW MAKE_DDHRESULT(575)
#endif

namespace {

struct NamedResult {
  HRESULT result;
  std::u16string_view name;
};

// In the order diagnostics list them; a code with two names (DDERR_INVALIDPARAMS is
// E_INVALIDARG) answers with the first.
constexpr std::array<NamedResult, 37> resultNames = {{
    {DDERR_INCOMPATIBLEPRIMARY, u"DDERR_INCOMPATIBLEPRIMARY"},
    {DDERR_INVALIDCAPS, u"DDERR_INVALIDCAPS"},
    {DDERR_INVALIDOBJECT, u"DDERR_INVALIDOBJECT"},
    {DDERR_INVALIDPARAMS, u"DDERR_INVALIDPARAMS"},
    {DDERR_INVALIDRECT, u"DDERR_INVALIDRECT"},
    {DDERR_INVALIDPIXELFORMAT, u"DDERR_INVALIDPIXELFORMAT"},
    {DDERR_NOALPHAHW, u"DDERR_NOALPHAHW"},
    {DDERR_NOBLTHW, u"DDERR_NOBLTHW"},
    {DDERR_NOCLIPLIST, u"DDERR_NOCLIPLIST"},
    {DDERR_NOCOOPERATIVELEVELSET, u"DDERR_NOCOOPERATIVELEVELSET"},
    {DDERR_NOFLIPHW, u"DDERR_NOFLIPHW"},
    {DDERR_NOOVERLAYHW, u"DDERR_NOOVERLAYHW"},
    {DDERR_NOSTRETCHHW, u"DDERR_NOSTRETCHHW"},
    {DDERR_NOTAOVERLAYSURFACE, u"DDERR_NOTAOVERLAYSURFACE"},
    {DDERR_OUTOFMEMORY, u"DDERR_OUTOFMEMORY"},
    {DDERR_OUTOFVIDEOMEMORY, u"DDERR_OUTOFVIDEOMEMORY"},
    {DDERR_PRIMARYSURFACEALREADYEXISTS, u"DDERR_PRIMARYSURFACEALREADYEXISTS"},
    {DDERR_SURFACEBUSY, u"DDERR_SURFACEBUSY"},
    {DDERR_UNSUPPORTED, u"DDERR_UNSUPPORTED"},
    {DDERR_DCALREADYCREATED, u"DDERR_DCALREADYCREATED"},
    {DDERR_WASSTILLDRAWING, u"DDERR_WASSTILLDRAWING"},
    {E_INVALIDARG, u"E_INVALIDARG"},
    {E_OUTOFMEMORY, u"E_OUTOFMEMORY"},
    {E_NOTIMPL, u"E_NOTIMPL"},
    {E_ACCESSDENIED, u"E_ACCESSDENIED"},
    {E_PENDING, u"E_PENDING"},
    {IMGERR_OBJECTBUSY, u"IMGERR_OBJECTBUSY"},
    {IMGERR_NOPALETTE, u"IMGERR_NOPALETTE"},
    {IMGERR_BADLOCK, u"IMGERR_BADLOCK"},
    {IMGERR_BADUNLOCK, u"IMGERR_BADUNLOCK"},
    {IMGERR_NOCONVERSION, u"IMGERR_NOCONVERSION"},
    {IMGERR_CODECNOTFOUND, u"IMGERR_CODECNOTFOUND"},
    {IMGERR_NOFRAME, u"IMGERR_NOFRAME"},
    {IMGERR_ABORT, u"IMGERR_ABORT"},
    {IMGERR_FAILLOADCODEC, u"IMGERR_FAILLOADCODEC"},
    {IMGERR_PROPERTYNOTFOUND, u"IMGERR_PROPERTYNOTFOUND"},
    {IMGERR_PROPERTYNOTSUPPORTED, u"IMGERR_PROPERTYNOTSUPPORTED"},
}};

std::mutex reportMutex;
DrawingReport lastReport;
std::size_t reportCount = 0;

void record(DrawingReport report) {
  std::lock_guard guard(reportMutex);
  lastReport = std::move(report);
  ++reportCount;
}

} // namespace

void reportDDError(HRESULT result, std::u16string_view step) {
  record({std::u16string(step), result, 0, {}});
}

void reportImgError(HRESULT result, std::u16string_view step) {
  record({std::u16string(step), result, 0, {}});
}

void reportLastError(std::u16string_view step) {
  const DWORD error = GetLastError();
  LPWSTR text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  std::u16string systemText;
  if (text) {
    systemText.assign(text, length);
    LocalFree(text);
  }
  record({std::u16string(step), 0, error, std::move(systemText)});
}

DrawingReport lastDrawingReport() {
  std::lock_guard guard(reportMutex);
  return lastReport;
}

std::size_t drawingReportCount() {
  std::lock_guard guard(reportMutex);
  return reportCount;
}

std::u16string_view resultName(HRESULT result) {
  for (const auto &entry : resultNames)
    if (entry.result == result)
      return entry.name;
  return {};
}
