// The platform's own Start menu layout files, "\Windows\StartMenu*.cpr": switched off by
// replacing each with 4 zero bytes, restored by deleting what was written over them (the
// platform then uses its own layout again).
#pragma once

namespace LayoutFiles {

// Each matching file is created anew with exactly 4 zero bytes. Returns how many were written.
int switchOff();
// Each matching file that is switched off (exactly 4 zero bytes) is deleted; a file with any
// other content is the platform's own layout and stays. Returns how many were deleted.
int restore();

} // namespace LayoutFiles
