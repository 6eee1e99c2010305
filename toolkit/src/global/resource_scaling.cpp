#include <toolkit/global/resource_scaling.h>
#include <toolkit/image/image_file.h>

#include <ce/files.h>
#include <ce/kernel.h>

bool ResourceScaling::prepareRun(std::u16string_view resourceDirectory, double scale) {
  const std::u16string marker = std::u16string(resourceDirectory) + std::u16string(MarkerName);
  if (scale == 1.0) {
    writeMarker(marker, UnscaledText);
    return false;
  }
  if (GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES)
    return false;
  return writeMarker(marker, ScaledText);
}

int ResourceScaling::run(std::u16string_view baseDirectory, double scale) {
  const std::u16string resources = std::u16string(baseDirectory) + u"resources\\";
  return rescaleFolder(resources, scale) + rescaleFolder(resources + u"VGA\\", scale);
}

bool ResourceScaling::writeMarker(const std::u16string &path, std::string_view text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  DWORD written = 0;
  const bool whole =
      WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
      written == text.size();
  CloseHandle(file);
  return whole;
}

int ResourceScaling::rescaleFolder(const std::u16string &folder, double scale) {
  WIN32_FIND_DATAW found{};
  const std::u16string pattern = folder + u"*";
  HANDLE find = FindFirstFileW(pattern.c_str(), &found);
  if (find == INVALID_HANDLE_VALUE)
    return 0;
  int rescaled = 0;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      continue;
    if (rescaleImageFile(folder + found.cFileName, scale) == S_OK)
      ++rescaled;
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return rescaled;
}
