// Reporting of failed drawing and imaging steps. None of the reporters shows anything or stops
// the program: a failed step is recorded (the last one, and a count) for diagnostics, and the
// caller goes on with what it has.
#pragma once

#include <ce/types.h>

#include <cstddef>
#include <string>
#include <string_view>

struct DrawingReport {
  std::u16string step;       // the failed step's name, e.g. "MyPanel::paint Blt"
  HRESULT result = 0;        // the failed call's result (0 for reportLastError)
  DWORD lastError = 0;       // the thread's last error (reportLastError)
  std::u16string systemText; // the platform's text for lastError, when it has one
};

// After a failed DirectDraw-shaped call (blits, surface creation).
void reportDDError(HRESULT result, std::u16string_view step);
// After a failed imaging-factory call. A corrupt, oversized or unreadable image is bad input:
// the image is treated as missing and the program goes on, whatever the code.
void reportImgError(HRESULT result, std::u16string_view step);
// After a failed platform drawing call: takes the last error and its system text.
void reportLastError(std::u16string_view step);

DrawingReport lastDrawingReport();
std::size_t drawingReportCount();

// The name of a display or imaging result code ("DDERR_INVALIDRECT", "IMGERR_NOFRAME", ...),
// or empty for a code outside the table.
std::u16string_view resultName(HRESULT result);
