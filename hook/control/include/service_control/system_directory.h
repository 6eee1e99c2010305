// Where the system's own files lie: the installation directory, which the settings value
// `SourcesDirectory` names with a "resources" tail that is cut off.
#pragma once

#include <string>
#include <string_view>

namespace SystemDirectory {

// The text before the first "resources" (case-sensitive); the whole text when it has none.
std::u16string cutBeforeResources(std::u16string_view directory);

// The directory of the running program: its path up to and including the last '\'.
std::u16string programDirectory();

// The registration program's rule: `SourcesDirectory` of the settings key (opened, and created
// when missing), or the running program's directory when the value cannot be read, cut before
// "resources". Empty when the settings key cannot be opened.
std::u16string forProgram();

// For the service when its shared record is not available: `SourcesDirectory` cut before
// "resources", or the default installation directory; always ends in '\'.
std::u16string forService();

// `directory` with a final '\' (an empty text stays empty).
std::u16string withFinalSeparator(std::u16string_view directory);

} // namespace SystemDirectory
