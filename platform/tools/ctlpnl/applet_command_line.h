// The command line of the control-panel host: which applet of which library to open.
//
// Accepted forms (double quotes anywhere are dropped; device paths cannot hold them):
//   file                 the library's first applet (index 0)
//   file,index           "cplmain.cpl,2", "\Windows\cplmain.cpl, 2", "\"cplmain.cpl\",2"
//   file.cpl index       what ShellExecuteEx of a .cpl with parameters "index" gives
// A name without a leading '\' (or '/') is a file in \Windows. After the last comma, text that is
// not a number belongs to the file name ("a,b.cpl"); a number that does not fit or is negative
// is kept as given, so that the host can say that the library has no such applet.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ce::ctlpnl {

class AppletCommandLine {
public:
  // Nothing and a one-line *error when no library is named.
  static std::optional<AppletCommandLine> parse(std::u16string_view text, std::string *error);

  const std::u16string &library() const { return library_; } // a device path
  long long index() const { return index_; }

private:
  std::u16string library_;
  long long index_ = 0;
};

} // namespace ce::ctlpnl
