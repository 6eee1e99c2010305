#include "imaging/file_bytes.h"

#include <ce/errors.h>
#include <ce/files.h>
#include <ce/kernel.h>

#include <algorithm>
#include <new>
#include <string>

namespace ce {
namespace {

HRESULT lastErrorResult() {
  const DWORD error = GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

struct HandleCloser {
  HANDLE handle;
  ~HandleCloser() {
    if (handle != INVALID_HANDLE_VALUE)
      CloseHandle(handle);
  }
};

} // namespace

HRESULT FileBytes::read(const WCHAR *path, std::vector<std::uint8_t> &out) {
  if (!path)
    return E_INVALIDARG;
  HandleCloser file{
      CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)};
  if (file.handle == INVALID_HANDLE_VALUE)
    return lastErrorResult();
  DWORD high = 0;
  const DWORD low = GetFileSize(file.handle, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
    return lastErrorResult();
  const std::uint64_t size = (std::uint64_t(high) << 32) | low;
  if (size > kMaxFileBytes)
    return E_OUTOFMEMORY;
  try {
    out.resize(std::size_t(size));
  } catch (const std::bad_alloc &) {
    return E_OUTOFMEMORY;
  }
  std::size_t done = 0;
  while (done < out.size()) {
    DWORD got = 0;
    const DWORD want = DWORD(std::min<std::size_t>(out.size() - done, 1u << 24));
    if (!ReadFile(file.handle, out.data() + done, want, &got, nullptr))
      return lastErrorResult();
    if (got == 0)
      break; // the file shrank while we read it
    done += got;
  }
  out.resize(done);
  return S_OK;
}

HRESULT FileBytes::write(const WCHAR *path, const std::vector<std::uint8_t> &bytes) {
  if (!path)
    return E_INVALIDARG;
  HandleCloser file{CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)};
  if (file.handle == INVALID_HANDLE_VALUE)
    return lastErrorResult();
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD wrote = 0;
    const DWORD want = DWORD(std::min<std::size_t>(bytes.size() - done, 1u << 24));
    if (!WriteFile(file.handle, bytes.data() + done, want, &wrote, nullptr) || wrote == 0)
      return lastErrorResult();
    done += wrote;
  }
  return S_OK;
}

HRESULT FileBytes::checkWritable(const WCHAR *path) {
  if (!path || !*path)
    return E_INVALIDARG;
  std::u16string text(path);
  const DWORD attributes = GetFileAttributesW(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
  const auto slash = text.find_last_of(u"\\/");
  if (slash == std::u16string::npos || slash == 0)
    return S_OK; // the root always exists
  const std::u16string folder = text.substr(0, slash);
  const DWORD folderAttributes = GetFileAttributesW(folder.c_str());
  if (folderAttributes == INVALID_FILE_ATTRIBUTES)
    return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
  if (!(folderAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
  return S_OK;
}

} // namespace ce
