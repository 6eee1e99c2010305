// The demo's log on the device: each line is appended and the file closed again at once, so that
// a test reading it sees every line written so far.
#pragma once

#include <ce/types.h>

#include <string>
#include <string_view>

namespace demo {

class EventLog {
public:
  explicit EventLog(std::u16string path);

  // Writes "kind identifier parameter" and a line end (UTF-8).
  void write(std::string_view kind, long long identifier, std::u16string_view parameter) const;
  void write(std::string_view kind, long long identifier, long long parameter) const;
  // "kind identifier left top right bottom", and the text after it when there is one.
  void writePlace(std::string_view kind, long long identifier, const RECT &area,
                  std::u16string_view text = {}) const;

private:
  void append(const std::string &line) const;

  std::u16string path_;
};

} // namespace demo
