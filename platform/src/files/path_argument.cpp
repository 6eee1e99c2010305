#include "files/path_argument.h"

namespace ce {

std::u16string_view pathArgument(LPCWSTR path) {
  if (!path) return {};
  constexpr std::size_t scanLimit = 4 * MAX_PATH;
  std::size_t length = 0;
  while (length < scanLimit && path[length] != 0) ++length;
  return {path, length};
}

} // namespace ce
