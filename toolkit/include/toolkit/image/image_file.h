// Image files written by the toolkit: PNG encoding and the in-place rescaling of the one-time
// scaling run.
#pragma once

#include <ce/imaging.h>

#include <string>

// Encodes the image as a PNG file at `path` with the installed PNG encoder. A failed step is
// reported and leaves an existing file untouched.
HRESULT encodeImageAsPng(IImage *image, const std::u16string &path);

// Decodes the file, resamples it to truncate(width x scale) by truncate(height x scale) (at
// least one pixel) with the averaging interpolation, and writes it back as PNG to the same
// path. Any failing step ends the work on that file, which keeps its old content.
HRESULT rescaleImageFile(const std::u16string &path, double scale);
