// What the platform library exports. The library is built with hidden visibility: only what its
// public headers declare between CE_EXPORT_BEGIN and CE_EXPORT_END (the C API's
// CE_EXTERN_C_BEGIN / CE_EXTERN_C_END include them) is seen by programs and device libraries;
// everything behind the API stays inside the library. Outside the library the marks change
// nothing.
#pragma once

#define CE_EXPORT_BEGIN _Pragma("GCC visibility push(default)")
#define CE_EXPORT_END _Pragma("GCC visibility pop")
