#include "event_log.h"

#include <ce/core/utf.h>
#include <ce/windows.h>

namespace demo {

EventLog::EventLog(std::u16string path) : path_(std::move(path)) {}

void EventLog::write(std::string_view kind, long long identifier,
                     std::u16string_view parameter) const {
  append(std::string(kind) + " " + std::to_string(identifier) + " " + ce::toUtf8(parameter));
}

void EventLog::write(std::string_view kind, long long identifier, long long parameter) const {
  append(std::string(kind) + " " + std::to_string(identifier) + " " + std::to_string(parameter));
}

void EventLog::writePlace(std::string_view kind, long long identifier, const RECT &area,
                          std::u16string_view text) const {
  std::string line = std::string(kind) + " " + std::to_string(identifier) + " " +
                     std::to_string(area.left) + " " + std::to_string(area.top) + " " +
                     std::to_string(area.right) + " " + std::to_string(area.bottom);
  if (!text.empty())
    line += " " + ce::toUtf8(text);
  append(line);
}

void EventLog::append(const std::string &line) const {
  HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return;
  SetFilePointer(file, 0, nullptr, FILE_END);
  const std::string bytes = line + "\n";
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

} // namespace demo
