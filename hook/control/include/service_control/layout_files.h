// The platform's own Start menu layout files, "\Windows\StartMenu*.cpr": switched off by
// replacing each with 4 zero bytes, restored by deleting what was written over them.
#pragma once

namespace LayoutFiles {

// Each matching file is created anew with exactly 4 zero bytes. Returns how many were written.
int switchOff();
// Each matching file is deleted. Returns how many were deleted.
int restore();

} // namespace LayoutFiles
