// What libplatform.so lets out: the C functions of the platform API and the classes and functions
// of namespace ce that platform/include declares, and nothing of what lies behind them (the
// library is built with hidden visibility and a version script; <ce/export.h>). Read from the
// built library's dynamic symbol table.
#include <gtest/gtest.h>

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The one class that the host program, the device tool and the tests reach and that is still
// declared in platform/src: the process's connection to the host, with its protocol templates.
const std::set<std::string> kExportedFromSource = {"HostConnection"};

std::vector<std::string> exportedSymbols() {
  const std::string command =
      "nm -D --defined-only '" CE_BINARY_DIR "/lib/libplatform.so' 2>/dev/null";
  std::vector<std::string> names;
  std::unique_ptr<FILE, int (*)(FILE *)> pipe(::popen(command.c_str(), "r"), ::pclose);
  if (!pipe)
    return names;
  char line[8192];
  while (std::fgets(line, sizeof line, pipe.get())) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
      text.pop_back();
    const auto space = text.rfind(' ');
    if (space != std::string::npos)
      names.push_back(text.substr(space + 1));
  }
  return names;
}

std::string demangled(const std::string &name) {
  int status = 0;
  std::unique_ptr<char, void (*)(void *)> text(
      abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status), std::free);
  return status == 0 && text ? std::string(text.get()) : name;
}

// Every word of the public headers.
std::set<std::string> publicWords() {
  std::set<std::string> words;
  const std::regex word("[A-Za-z_][A-Za-z0-9_]*");
  for (const auto &entry : fs::recursive_directory_iterator(CE_PLATFORM_INCLUDE_DIR)) {
    if (!entry.is_regular_file() || entry.path().extension() != ".h")
      continue;
    std::ifstream in(entry.path());
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (std::sregex_iterator it(text.begin(), text.end(), word), end; it != end; ++it)
      words.insert(it->str());
  }
  return words;
}

// "ce::shell::ShellThread::start()" -> "ShellThread"; "ce::toUtf8[abi:cxx11](...)" -> "toUtf8":
// the first name inside namespace ce (and its inner namespaces) that is not a namespace.
std::string declaredName(std::string symbol) {
  for (const char *prefix : {"typeinfo name for ", "typeinfo for ", "vtable for ", "VTT for ",
                             "non-virtual thunk to ", "virtual thunk to "})
    if (symbol.rfind(prefix, 0) == 0)
      symbol.erase(0, std::string(prefix).size());
  if (symbol.rfind("ce::", 0) != 0)
    return {};
  symbol.erase(0, 4);
  for (const char *inner : {"shell::", "host::", "host_windows::", "protocol::"})
    if (symbol.rfind(inner, 0) == 0)
      symbol.erase(0, std::string(inner).size());
  const auto end = symbol.find_first_of(":([<");
  return symbol.substr(0, end);
}

} // namespace

TEST(PlatformExports, OnlyWhatThePublicHeadersDeclareLeavesTheLibrary) {
  const auto symbols = exportedSymbols();
  ASSERT_GT(symbols.size(), 100u) << "nm could not read libplatform.so";
  const auto words = publicWords();
  std::vector<std::string> strays;
  std::set<std::string> names;
  for (const auto &symbol : symbols) {
    if (symbol.rfind("_Z", 0) != 0) {
      names.insert(symbol);
      if (!words.count(symbol))
        strays.push_back(symbol);
      continue;
    }
    const std::string readable = demangled(symbol);
    const std::string name = declaredName(readable);
    names.insert(name);
    if (name.empty() || (!words.count(name) && !kExportedFromSource.count(name)))
      strays.push_back(readable);
  }
  EXPECT_TRUE(strays.empty()) << [&] {
    std::string list;
    for (const auto &stray : strays)
      list += "\n  " + stray;
    return "exported but not declared in platform/include:" + list;
  }();

  // The API is there: C functions, the core classes, the host's interface.
  for (const char *expected : {"RegCreateKeyExW", "FindWindowW", "CreateFileMappingW", "BitBlt",
                               "ShellExecuteEx", "GetProcessId", "DeviceRoot", "HostLock",
                               "ProcessIdentity", "ServicesHost", "DeviceBarrier", "useDisplay",
                               "HostUiThread", "inputPanel", "menuBars", "shellThreadOptions"})
    EXPECT_TRUE(names.count(expected)) << expected << " is not exported";
  // What lies behind it is not: the registry's cache, the window client, the message queues.
  for (const char *internal : {"RegistryCache", "WindowClient", "ThreadMessageQueue",
                               "MessageMarshaller", "PostConnection", "ShellWindows",
                               "MenuBarServer", "InputPanelWindow"})
    EXPECT_FALSE(names.count(internal)) << internal << " leaves the library";
}
