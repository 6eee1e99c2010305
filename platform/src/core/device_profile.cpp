#include <ce/core/device_profile.h>
#include <ce/core/device_root.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <sstream>

namespace ce {
namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool parseInt(std::string_view s, int base, long& out) {
  if (base == 16 && s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.remove_prefix(2);
  if (s.empty()) return false;
  auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), out, base);
  return ec == std::errc() && ptr == s.data() + s.size();
}

std::mutex currentMutex;
std::optional<DeviceProfile> cached;

} // namespace

int DeviceProfile::dpiForScreen(int width, int height) {
  const int shortSide = std::min(width, height);
  return shortSide * 2 / 5;
}

const char* taskbarKindName(TaskbarKind kind) {
  return kind == TaskbarKind::Classic ? "classic" : "wm65";
}

std::optional<TaskbarKind> parseTaskbarKind(std::string_view name) {
  if (name == "wm65") return TaskbarKind::Wm65;
  if (name == "classic") return TaskbarKind::Classic;
  return std::nullopt;
}

std::optional<DeviceProfile> DeviceProfile::parse(std::string_view text, std::string* error) {
  DeviceProfile profile;
  bool dpiGiven = false;
  int lineNumber = 0;
  auto fail = [&](const std::string& message) -> std::optional<DeviceProfile> {
    if (error) *error = "device.conf line " + std::to_string(lineNumber) + ": " + message;
    return std::nullopt;
  };
  while (!text.empty()) {
    const auto end = text.find('\n');
    std::string_view line = trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    ++lineNumber;
    if (line.empty() || line.front() == '#') continue;
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) return fail("expected key=value");
    const auto key = trim(line.substr(0, eq));
    const auto value = trim(line.substr(eq + 1));
    long number = 0;
    if (key == "screen") {
      const auto x = value.find('x');
      long w = 0, h = 0;
      if (x == std::string_view::npos || !parseInt(value.substr(0, x), 10, w) ||
          !parseInt(value.substr(x + 1), 10, h) || w < 120 || h < 120 || w > 4096 || h > 4096)
        return fail("screen must be WIDTHxHEIGHT between 120 and 4096");
      profile.screenWidth = static_cast<int>(w);
      profile.screenHeight = static_cast<int>(h);
    } else if (key == "dpi") {
      if (!parseInt(value, 10, number) || number < 24 || number > 1200)
        return fail("dpi must be a number between 24 and 1200");
      profile.dpi = static_cast<int>(number);
      dpiGiven = true;
    } else if (key == "taskbar") {
      const auto kind = parseTaskbarKind(value);
      if (!kind) return fail("taskbar must be wm65 or classic");
      profile.taskbar = *kind;
    } else if (key == "language") {
      if (!parseInt(value, 16, number) || number <= 0 || number > 0xFFFF)
        return fail("language must be a hexadecimal language id such as 0x0409");
      profile.language = static_cast<LANGID>(number);
    }
  }
  if (!dpiGiven) profile.dpi = dpiForScreen(profile.screenWidth, profile.screenHeight);
  return profile;
}

std::string DeviceProfile::serialize() const {
  std::ostringstream out;
  char lang[8];
  std::snprintf(lang, sizeof lang, "0x%04x", language);
  out << "# device profile\n"
      << "screen=" << screenWidth << 'x' << screenHeight << '\n'
      << "dpi=" << dpi << '\n'
      << "taskbar=" << taskbarKindName(taskbar) << '\n'
      << "language=" << lang << '\n';
  return out.str();
}

std::optional<DeviceProfile> DeviceProfile::load(const std::filesystem::path& file,
                                                 std::string* error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    if (error) *error = "cannot read " + file.string();
    return std::nullopt;
  }
  std::string text;
  char buffer[4096];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    text.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (text.size() > 65536) {
      if (error) *error = file.string() + " is too large for a device profile";
      return std::nullopt;
    }
  }
  return parse(text, error);
}

bool DeviceProfile::save(const std::filesystem::path& file) const {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << serialize();
  return static_cast<bool>(out.flush());
}

DeviceProfile DeviceProfile::current() {
  std::lock_guard lock(currentMutex);
  if (!cached) {
    const auto root = DeviceRoot::path();
    std::optional<DeviceProfile> loaded;
    if (!root.empty()) loaded = load(DeviceRoot::profileFile());
    cached = loaded ? *loaded : DeviceProfile{};
  }
  return *cached;
}

void DeviceProfile::reload() {
  std::lock_guard lock(currentMutex);
  cached.reset();
}

} // namespace ce
