// Writes to the registry of the device in CE_DEVICE on command, for the registry tests that need
// a change made by another process. Reads one command per line from standard input, carries it
// out on HKEY_LOCAL_MACHINE and answers with one line holding the result code (0 for success)
// once the change is committed. Ends at the end of its input.
//   create PATH                  creates the key
//   delete PATH                  deletes the key with its subkeys
//   dword PATH NAME NUMBER       sets a REG_DWORD value (creating the key)
//   text PATH NAME TEXT          sets a REG_SZ value without terminating zero (creating the key)
//   bytes PATH NAME SIZE FILL    sets a REG_BINARY value of SIZE bytes FILL (0-255)
//   unset PATH NAME              deletes the value
// Paths, names and texts are single words (no spaces).
#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/registry.h>

#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

LONG withKey(const std::u16string &path, LONG (*action)(HKEY, const std::vector<std::string> &),
             const std::vector<std::string> &arguments) {
  HKEY key = nullptr;
  LONG result = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &key, nullptr);
  if (result == ERROR_SUCCESS)
    result = action(key, arguments);
  RegCloseKey(key);
  return result;
}

LONG run(const std::string &line) {
  std::istringstream in(line);
  std::string verb, path;
  in >> verb >> path;
  std::vector<std::string> arguments;
  for (std::string word; in >> word;)
    arguments.push_back(word);
  const std::u16string key = ce::toUtf16(path);
  if (verb == "create")
    return withKey(
        key, [](HKEY, const std::vector<std::string> &) -> LONG { return ERROR_SUCCESS; }, {});
  if (verb == "delete")
    return RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
  if (verb == "dword" && arguments.size() == 2)
    return withKey(
        key,
        [](HKEY k, const std::vector<std::string> &a) -> LONG {
          const DWORD value = static_cast<DWORD>(std::stoul(a[1]));
          return RegSetValueExW(k, ce::toUtf16(a[0]).c_str(), 0, REG_DWORD,
                                reinterpret_cast<const BYTE *>(&value), sizeof value);
        },
        arguments);
  if (verb == "text" && arguments.size() == 2)
    return withKey(
        key,
        [](HKEY k, const std::vector<std::string> &a) -> LONG {
          const std::u16string text = ce::toUtf16(a[1]);
          return RegSetValueExW(k, ce::toUtf16(a[0]).c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE *>(text.data()),
                                static_cast<DWORD>(text.size() * 2));
        },
        arguments);
  if (verb == "bytes" && arguments.size() == 3)
    return withKey(
        key,
        [](HKEY k, const std::vector<std::string> &a) -> LONG {
          const std::vector<BYTE> data(std::stoul(a[1]), static_cast<BYTE>(std::stoul(a[2])));
          return RegSetValueExW(k, ce::toUtf16(a[0]).c_str(), 0, REG_BINARY, data.data(),
                                static_cast<DWORD>(data.size()));
        },
        arguments);
  if (verb == "unset" && arguments.size() == 1)
    return withKey(
        key,
        [](HKEY k, const std::vector<std::string> &a) -> LONG {
          return RegDeleteValueW(k, ce::toUtf16(a[0]).c_str());
        },
        arguments);
  return ERROR_INVALID_PARAMETER;
}

} // namespace

int main() {
  for (std::string line; std::getline(std::cin, line);) {
    LONG result = ERROR_INVALID_PARAMETER;
    try {
      result = run(line);
    } catch (const std::exception &) {
      // a malformed number: reported as an invalid parameter
    }
    std::cout << result << std::endl;
  }
  return 0;
}
