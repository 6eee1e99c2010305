// DirectDrawCreate: the display object over this process's display.
#include "direct_draw.h"


HRESULT DirectDrawCreate(GUID* guid, LPDIRECTDRAW* directDraw, IUnknown* outer) {
  if (!directDraw) return DDERR_INVALIDPARAMS;
  *directDraw = nullptr;
  if (guid) return DDERR_INVALIDPARAMS;
  if (outer) return CLASS_E_NOAGGREGATION;
  auto display = ce::Display::current();
  if (!display) return DDERR_GENERIC;
  *directDraw = new ce::DirectDraw(std::move(display));
  return DD_OK;
}
