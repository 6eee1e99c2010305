#include "create_command.h"

#include "argument_parser.h"

#include <ce/core/device_path.h>
#include <ce/core/device_root.h>
#include <ce/errors.h>
#include <ce/files.h>
#include <ce/registry.h>

#include <ce/core/utf.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <ostream>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace ce::tool {
namespace {

namespace fs = std::filesystem;

// The parts of a device root; any one of them marks the folder as a device.
const char *const kDeviceParts[] = {"device.conf", "fs", "registry.db"};
// Everything create owns in a root, removed by --force and after a failed create.
const char *const kOwnedParts[] = {"device.conf",         "fs",
                                   "registry.db",         "registry.db-wal",
                                   "registry.db-shm",     "registry.db-journal",
                                   "registry.db-changes", "run"};

// Where ShellExecuteEx looks for the program that opens control-panel applets.
const char16_t kControlPanelHost[] = u"\\Windows\\ctlpnl.exe";

const char16_t *const kDeviceFolders[] = {
    u"\\Windows",
    u"\\Windows\\Start Menu",
    u"\\Windows\\Start Menu\\Programs",
    u"\\Windows\\StartUp",
    u"\\Program Files",
    u"\\My Documents",
    u"\\Temp",
};

// Digits only; no sign, no spaces, at most what fits.
bool parseDecimal(std::string_view text, int &value) {
  if (text.empty() || text.size() > 6)
    return false;
  for (char c : text)
    if (c < '0' || c > '9')
      return false;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return true;
}

bool parseHexWord(std::string_view text, unsigned &value) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    text.remove_prefix(2);
  if (text.empty() || text.size() > 4)
    return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  return ec == std::errc() && end == text.data() + text.size();
}

// The demo content generator sits beside this program in the build's bin folder.
fs::path demoContentProgram() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path("demo_content") : self.parent_path() / "demo_content";
}

// The control-panel host, built beside this program.
fs::path controlPanelHostProgram() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path("ctlpnl") : self.parent_path() / "ctlpnl";
}

// Runs `program --device root`, passing what it prints on to `out`; its exit code, or -1 when
// it could not be started (with the reason in *error).
int runDemoContent(const fs::path &program, const fs::path &root, std::ostream &out,
                   std::string *error) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) {
    *error = "cannot make a pipe";
    return -1;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  const std::string programText = program.string(), rootText = root.string();
  char *const argv[] = {const_cast<char *>(programText.c_str()), const_cast<char *>("--device"),
                        const_cast<char *>(rootText.c_str()), nullptr};
  pid_t child = 0;
  const int spawned = posix_spawn(&child, programText.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (spawned != 0) {
    close(pipeFds[0]);
    *error = "cannot start " + programText + " (build the demo_content target)";
    return -1;
  }
  char buffer[4096];
  for (;;) {
    const ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
    if (got > 0)
      out.write(buffer, got);
    else if (got == 0 || errno != EINTR)
      break;
  }
  close(pipeFds[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status)) {
    *error = programText + " ended abnormally";
    return -1;
  }
  return WEXITSTATUS(status);
}

} // namespace

std::string CreateCommand::usage(std::string_view) {
  return "usage: device --device DIR create [--screen WxH] [--taskbar classic|wm65] [--lang "
         "LANGID]\n"
         "                                  [--force] [--demo]\n"
         "\n"
         "Makes a new device root in DIR: its file system fs/ with \\Windows, \\Windows\\Start "
         "Menu,\n"
         "\\Windows\\Start Menu\\Programs, \\Windows\\StartUp, \\Program Files, \\My Documents "
         "and\n"
         "\\Temp; the control-panel host \\Windows\\ctlpnl.exe; its registry registry.db "
         "with the\n"
         "device's defaults; and its profile device.conf.\n"
         "\n"
         "  --screen WxH      screen size in pixels, each side 120 to 4096 (default 480x640); the\n"
         "                    dots per inch follow the short side (192 at 480, 96 at 240)\n"
         "  --taskbar KIND    taskbar design: wm65 (default) or classic\n"
         "  --lang LANGID     language id in hexadecimal (default 0x0409)\n"
         "  --force           recreate DIR from scratch when it already holds a device\n"
         "  --demo            also lay out the demo content (sample programs, applets, icons,\n"
         "                    Start menu, wallpapers) with demo_content from the build\n"
         "\n"
         "An existing device root (a folder holding device.conf, fs or registry.db) is refused\n"
         "without --force; an empty or unrelated folder is fine.\n";
}

Outcome CreateCommand::parseOptions(std::span<const std::string> args) {
  ArgumentParser parser("device create");
  parser.option("--screen").option("--taskbar").option("--lang").flag("--force").flag("--demo");
  Outcome stop = Outcome::success();
  const auto parsed = ToolContext::parse(parser, args, &stop);
  if (!parsed)
    return stop;

  profile_ = DeviceProfile{};
  if (const auto screen = parsed->value("--screen")) {
    const auto x = screen->find_first_of("xX");
    int width = 0, height = 0;
    // Checked character by character before the profile sees it, so that nothing but two
    // numbers can reach device.conf.
    const bool numbers = x != std::string::npos && parseDecimal(screen->substr(0, x), width) &&
                         parseDecimal(screen->substr(x + 1), height);
    if (!numbers ||
        !DeviceProfile::parse("screen=" + std::to_string(width) + "x" + std::to_string(height)))
      return Outcome::refused("--screen must be WIDTHxHEIGHT, each between 120 and 4096, not '" +
                              *screen + "'");
    profile_.screenWidth = width;
    profile_.screenHeight = height;
  }
  profile_.dpi = DeviceProfile::dpiForScreen(profile_.screenWidth, profile_.screenHeight);
  if (const auto taskbar = parsed->value("--taskbar")) {
    const auto kind = parseTaskbarKind(*taskbar);
    if (!kind)
      return Outcome::refused("--taskbar must be classic or wm65, not '" + *taskbar + "'");
    profile_.taskbar = *kind;
  }
  if (const auto lang = parsed->value("--lang")) {
    unsigned id = 0;
    if (!parseHexWord(*lang, id) || id == 0)
      return Outcome::refused("--lang must be a hexadecimal language id such as 0x0409, not '" +
                              *lang + "'");
    profile_.language = static_cast<LANGID>(id);
  }
  if (!parsed->positionals.empty())
    return Outcome::refused("unexpected argument '" + parsed->positionals.front() + "'");
  force_ = parsed->has("--force");
  demo_ = parsed->has("--demo");
  return Outcome::success();
}

Outcome CreateCommand::run(std::string_view, std::span<const std::string> args,
                           const ToolContext &context) {
  if (auto outcome = parseOptions(args); !outcome.ok() || outcome.wantsUsage())
    return outcome;
  fs::path root;
  if (auto outcome = context.rootPath(&root); !outcome.ok())
    return outcome;

  std::error_code ec;
  const auto status = fs::symlink_status(root, ec);
  const bool exists = fs::exists(status);
  if (exists && !fs::is_directory(fs::status(root, ec)))
    return Outcome::refused(root.string() + " exists and is not a folder");
  if (exists) {
    bool isDevice = false;
    for (const char *part : kDeviceParts)
      isDevice = isDevice || fs::exists(fs::symlink_status(root / part, ec));
    if (isDevice && !force_)
      return Outcome::refused(root.string() +
                              " already holds a device; use --force to recreate it");
    if (isDevice)
      if (auto outcome = removeDeviceParts(root); !outcome.ok())
        return outcome;
  } else if (!fs::create_directories(root, ec) || ec) {
    return Outcome::failed("cannot create " + root.string() + ": " + ec.message());
  }

  Outcome outcome = build(root);
  if (outcome.ok())
    outcome = installControlPanelHost(context.out());
  if (outcome.ok() && demo_) {
    std::string error;
    const int code = runDemoContent(demoContentProgram(), root, context.out(), &error);
    if (code != 0)
      outcome = Outcome::failed(code < 0 ? error
                                         : "laying out the demo content failed (demo_content "
                                           "exit code " +
                                               std::to_string(code) + ")");
  }
  if (!outcome.ok()) {
    // Leave no half-made device behind.
    removeDeviceParts(root);
    if (!exists)
      fs::remove(root, ec);
    return outcome;
  }
  char lang[8];
  std::snprintf(lang, sizeof lang, "0x%04x", profile_.language);
  context.out() << "device created: " << root.string() << " (" << profile_.screenWidth << 'x'
                << profile_.screenHeight << ", " << profile_.dpi << " dpi, taskbar "
                << taskbarKindName(profile_.taskbar) << ", language " << lang << ")\n";
  return Outcome::success();
}

Outcome CreateCommand::removeDeviceParts(const fs::path &root) {
  for (const char *part : kOwnedParts) {
    std::error_code ec;
    fs::remove_all(root / part, ec);
    if (ec)
      return Outcome::failed("cannot remove " + (root / part).string() + ": " + ec.message());
  }
  return Outcome::success();
}

Outcome CreateCommand::installControlPanelHost(std::ostream &out) {
  const fs::path program = controlPanelHostProgram();
  std::error_code ec;
  if (!fs::is_regular_file(program, ec)) {
    out << "note: the control-panel host " << program.string()
        << " is not built; the device has no " << ce::toUtf8(kControlPanelHost)
        << " (build the ctlpnl target)\n";
    return Outcome::success();
  }
  DWORD error = ERROR_SUCCESS;
  const auto target = DevicePath::toHost(kControlPanelHost, &error);
  if (!target)
    return Outcome::fromPlatformError(error, ce::toUtf8(kControlPanelHost));
  // Copied with its permissions: the host starts it as a program.
  fs::copy_file(program, *target, fs::copy_options::overwrite_existing, ec);
  if (ec)
    return Outcome::failed("cannot copy " + program.string() + " to " +
                           ce::toUtf8(kControlPanelHost) + ": " + ec.message());
  return Outcome::success();
}

Outcome CreateCommand::build(const fs::path &root) const {
  std::error_code ec;
  if (!fs::create_directory(root / "fs", ec) || ec)
    return Outcome::failed("cannot create " + (root / "fs").string() + ": " + ec.message());

  DeviceRoot::use(root);
  for (const char16_t *folder : kDeviceFolders) {
    if (!CreateDirectoryW(folder, nullptr))
      return Outcome::fromPlatformError(GetLastError(), "creating " + ce::toUtf8(folder));
  }

  HKEY versions = nullptr;
  LONG status =
      RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"System\\Versions", 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &versions, nullptr);
  if (status != ERROR_SUCCESS)
    return Outcome::fromPlatformError(static_cast<DWORD>(status),
                                      "creating HKEY_LOCAL_MACHINE\\System\\Versions");
  // The adaptation kit version that tells the two taskbar designs apart, with its zero.
  const std::u16string aku = profile_.taskbar == TaskbarKind::Classic ? u"6.1.4" : u".5.2";
  status = RegSetValueExW(versions, u"AKU", 0, REG_SZ, reinterpret_cast<const BYTE *>(aku.c_str()),
                          static_cast<DWORD>((aku.size() + 1) * sizeof(char16_t)));
  RegCloseKey(versions);
  if (status != ERROR_SUCCESS)
    return Outcome::fromPlatformError(static_cast<DWORD>(status),
                                      "writing HKEY_LOCAL_MACHINE\\System\\Versions AKU");

  // The profile goes last: a root with device.conf is a finished device.
  if (!profile_.save(root / "device.conf"))
    return Outcome::failed("cannot write " + (root / "device.conf").string());
  DeviceProfile::reload();
  return Outcome::success();
}

} // namespace ce::tool
