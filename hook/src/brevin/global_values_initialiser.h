// Fills a fresh shared record from the settings key: the system's directory and whether the
// Windows key is hooked.
#pragma once

#include <hook/global_values.h>

namespace GlobalValuesInitialiser {

// Zeroes all 588 bytes and stores `moduleHandle`, then reads the settings key (opened without
// creating it): `userDirectory` from `SourcesDirectory` (or, when that cannot be read,
// "\Program Files\Vireta\" when it exists, else the running program's directory), at most 258
// characters and cut before "resources"; `hookWinKey` 0 only when the value reads 0. Without the
// settings key the record stays zero.
void initialise(GlobalValues &record, std::uint32_t moduleHandle);

} // namespace GlobalValuesInitialiser
