// The platform's English texts for its error codes, as FormatMessageW gives them.
#pragma once

#include <ce/types.h>

namespace ce {

// The text for an error code or a failure HRESULT, without the closing "\r\n"; null for a code
// the platform has no text for. HRESULTs of the form 0x8007xxxx give the text of error xxxx.
const char16_t *systemErrorText(DWORD code);

} // namespace ce
