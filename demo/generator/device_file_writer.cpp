#include "device_file_writer.h"

#include <ce/core/device_path.h>
#include <ce/errors.h>
#include <ce/files.h>
#include <ce/kernel.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace ce::demo {

DWORD DeviceFileWriter::write(const std::u16string &devicePath,
                              const std::vector<std::uint8_t> &bytes) {
  HANDLE file = CreateFileW(devicePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return GetLastError();
  DWORD error = ERROR_SUCCESS;
  std::size_t done = 0;
  while (done < bytes.size() && error == ERROR_SUCCESS) {
    const DWORD chunk = DWORD(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr))
      error = GetLastError();
    else if (written == 0)
      error = ERROR_WRITE_FAULT;
    done += written;
  }
  CloseHandle(file);
  if (error != ERROR_SUCCESS)
    DeleteFileW(devicePath.c_str()); // never leave a truncated file behind
  return error;
}

DWORD DeviceFileWriter::write(const std::u16string &devicePath, const std::string &text) {
  return write(devicePath, std::vector<std::uint8_t>(text.begin(), text.end()));
}

DWORD DeviceFileWriter::read(const std::u16string &devicePath, std::vector<std::uint8_t> &bytes) {
  bytes.clear();
  HANDLE file = CreateFileW(devicePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return GetLastError();
  DWORD error = ERROR_SUCCESS;
  std::uint8_t block[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, block, sizeof block, &got, nullptr)) {
      error = GetLastError();
      break;
    }
    if (got == 0)
      break;
    bytes.insert(bytes.end(), block, block + got);
  }
  CloseHandle(file);
  return error;
}

DWORD DeviceFileWriter::createFolder(const std::u16string &devicePath) {
  // Each prefix ending before a separator, then the whole path.
  for (std::size_t at = 1; at <= devicePath.size(); ++at) {
    if (at != devicePath.size() && devicePath[at] != u'\\')
      continue;
    const std::u16string prefix = devicePath.substr(0, at);
    if (CreateDirectoryW(prefix.c_str(), nullptr))
      continue;
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS)
      return error;
  }
  return ERROR_SUCCESS;
}

DWORD DeviceFileWriter::makeExecutable(const std::u16string &devicePath) {
  DWORD error = ERROR_SUCCESS;
  const auto host = DevicePath::toHost(devicePath, &error);
  if (!host)
    return error;
  std::error_code ec;
  std::filesystem::permissions(*host,
                               std::filesystem::perms::owner_exec |
                                   std::filesystem::perms::group_exec |
                                   std::filesystem::perms::others_exec,
                               std::filesystem::perm_options::add, ec);
  return ec ? DWORD(ERROR_ACCESS_DENIED) : DWORD(ERROR_SUCCESS);
}

bool DeviceFileWriter::readHost(const std::filesystem::path &file,
                                std::vector<std::uint8_t> &bytes) {
  std::ifstream in(file, std::ios::binary);
  if (!in)
    return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

} // namespace ce::demo
