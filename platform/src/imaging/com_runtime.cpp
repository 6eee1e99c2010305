// Per-thread initialisation of the component calls and the creation of the imaging factory.
#include "imaging/imaging_factory.h"

#include <ce/imaging.h>

#include <cstdlib>
#include <new>

namespace {
thread_local unsigned initialisations = 0;
}

HRESULT CoInitializeEx(LPVOID, DWORD coInit) {
  if (coInit != COINIT_MULTITHREADED && coInit != COINIT_APARTMENTTHREADED)
    return E_INVALIDARG;
  return initialisations++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  if (initialisations > 0)
    --initialisations;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown *outer, DWORD context, REFIID iid,
                         LPVOID *object) {
  if (!object)
    return E_POINTER;
  *object = nullptr;
  if (initialisations == 0)
    return CO_E_NOTINITIALIZED;
  if (outer)
    return CLASS_E_NOAGGREGATION;
  if (!(clsid == CLSID_ImagingFactory) || !(context & CLSCTX_INPROC_SERVER))
    return REGDB_E_CLASSNOTREG;
  auto *factory = new (std::nothrow) ce::ImagingFactory;
  if (!factory)
    return E_OUTOFMEMORY;
  const HRESULT hr = factory->QueryInterface(iid, object);
  factory->Release();
  return hr;
}

LPVOID CoTaskMemAlloc(SIZE_T bytes) { return std::malloc(bytes ? bytes : 1); }

void CoTaskMemFree(LPVOID memory) { std::free(memory); }
