#include "demo_catalog.h"

#include <ce/core/utf.h>

#include <array>

namespace ce::demo {
namespace {

using namespace std::string_view_literals;

constexpr SampleProgram kPrograms[] = {
    {u"calc.exe"sv, u"Calculator"sv, u"Tools"sv, false, {0x546E7A, u"="sv}},
    {u"tmail.exe"sv, u"Messaging"sv, u""sv, true, {0x1E88E5, u"\u2709"sv}},
    {u"calendar.exe"sv, u"Calendar"sv, u""sv, true, {0xE53935, u"31"sv}},
    {u"poutlook.exe"sv, u"Contacts"sv, u""sv, false, {0xFB8C00, u"\u263A"sv}},
    {u"iexplore.exe"sv, u"Internet Explorer"sv, u""sv, true, {0x039BE5, u"e"sv}},
    {u"pimg.exe"sv, u"Pictures & Videos"sv, u""sv, false, {0x8E24AA, u"\u25B2"sv}},
    {u"fexplore.exe"sv, u"File Explorer"sv, u"Tools"sv, false, {0xF9A825, u"\u2261"sv}},
    {u"solitare.exe"sv, u"Solitaire"sv, u"Games"sv, false, {0x2E7D32, u"\u2660"sv}},
    {u"bubblebreaker.exe"sv, u"Bubble Breaker"sv, u"Games"sv, false, {0xD81B60, u"\u25CF"sv}},
    {u"notes.exe"sv, u"Notes"sv, u"Office"sv, false, {0xFDD835, u"\u270E"sv}},
    {u"tasks.exe"sv, u"Tasks"sv, u"Office"sv, false, {0x43A047, u"\u2713"sv}},
};

// Grouped by library, in index order within each.
constexpr SampleApplet kApplets[] = {
    {u"personal.cpl"sv,
     0,
     u"Owner"sv,
     u"Owner Information"sv,
     u"Your name and how to reach you"sv,
     AppletGroup::Personal,
     false,
     {0x5E35B1, u"\u263A"sv}},
    {u"personal.cpl"sv,
     1,
     u"Today"sv,
     u"Today"sv,
     u"What the Today screen shows"sv,
     AppletGroup::Personal,
     false,
     {0xFFA000, u"\u2600"sv}},
    {u"personal.cpl"sv,
     2,
     u"Buttons"sv,
     u"Buttons"sv,
     u"Programs on the hardware buttons"sv,
     AppletGroup::Personal,
     false,
     {0x6D4C41, u"\u25C9"sv}},
    {u"personal.cpl"sv,
     3,
     u"Sounds"sv,
     u"Sounds"sv,
     u"Ring tones, volume and notifications"sv,
     AppletGroup::Personal,
     false,
     {0x00897B, u"\u266A"sv}},
    {u"system.cpl"sv,
     0,
     u"Clock"sv,
     u"Clock & Alarms"sv,
     u"Time, date and alarms"sv,
     AppletGroup::System,
     false,
     {0x3949AB, u"\u25F7"sv}},
    {u"system.cpl"sv,
     1,
     u"Power"sv,
     u"Power"sv,
     u"Battery and standby"sv,
     AppletGroup::System,
     false,
     {0x7CB342, u"\u26A1"sv}},
    {u"system.cpl"sv,
     2,
     u"Memory"sv,
     u"Memory"sv,
     u"Storage and running programs"sv,
     AppletGroup::System,
     false,
     {0x757575, u"\u25A6"sv}},
    {u"system.cpl"sv,
     3,
     u"About"sv,
     u"About"sv,
     u"Version and owner of this device"sv,
     AppletGroup::System,
     false,
     {0x1565C0, u"i"sv}},
    {u"network.cpl"sv,
     0,
     u"Connections"sv,
     u"Connections"sv,
     u"Internet and work networks"sv,
     AppletGroup::Connections,
     true,
     {0x00838F, u"\u21C4"sv}},
    {u"network.cpl"sv,
     1,
     u"WiFi"sv,
     u"Wi-Fi"sv,
     u"Wireless networks"sv,
     AppletGroup::Connections,
     true,
     {0x0277BD, u"\u2248"sv}},
    {u"network.cpl"sv,
     2,
     u"Bluetooth"sv,
     u"Bluetooth"sv,
     u"Nearby devices"sv,
     AppletGroup::Connections,
     true,
     {0x283593, u"B"sv}},
};

constexpr std::u16string_view kLibraries[] = {u"personal.cpl"sv, u"system.cpl"sv, u"network.cpl"sv};

constexpr ShellIconEntry kShellIcons[] = {
    {ShellIcon::Document, u"document"sv},       {ShellIcon::TextDocument, u"text document"sv},
    {ShellIcon::PictureDocument, u"picture"sv}, {ShellIcon::Folder, u"folder"sv},
    {ShellIcon::Program, u"program"sv},         {ShellIcon::SettingsFolder, u"settings folder"sv},
};

constexpr std::u16string_view kFolders[] = {u"Games"sv, u"Office"sv, u"Tools"sv};

std::u16string_view fileNameOf(std::u16string_view path) {
  const auto slash = path.find_last_of(u"\\/");
  return slash == std::u16string_view::npos ? path : path.substr(slash + 1);
}

bool isLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

} // namespace

std::span<const SampleProgram> samplePrograms() { return kPrograms; }
std::span<const SampleApplet> sampleApplets() { return kApplets; }
std::span<const ShellIconEntry> shellIcons() { return kShellIcons; }
std::span<const std::u16string_view> appletLibraries() { return kLibraries; }
std::span<const std::u16string_view> programFolders() { return kFolders; }

std::span<const SampleApplet> appletsOf(std::u16string_view library) {
  const std::span<const SampleApplet> all = kApplets;
  std::size_t first = all.size(), count = 0;
  for (std::size_t i = 0; i < all.size(); ++i) {
    if (!equalsIgnoreCase(all[i].library, library))
      continue;
    if (first == all.size())
      first = i;
    ++count;
  }
  return count ? all.subspan(first, count) : std::span<const SampleApplet>{};
}

const SampleProgram *findProgram(std::u16string_view file) {
  const std::u16string_view name = fileNameOf(file);
  for (const SampleProgram &p : kPrograms)
    if (equalsIgnoreCase(p.file, name))
      return &p;
  return nullptr;
}

std::u16string displayNameForFile(std::u16string_view path) {
  if (const SampleProgram *program = findProgram(path))
    return std::u16string(program->name);
  std::u16string_view name = fileNameOf(path);
  if (const auto dot = name.find_last_of(u'.'); dot != std::u16string_view::npos && dot > 0)
    name = name.substr(0, dot);
  std::u16string result;
  bool wordStart = true;
  for (char16_t c : name) {
    if (c == u'_' || c == u'-' || c == u' ') {
      if (!result.empty() && result.back() != u' ')
        result.push_back(u' ');
      wordStart = true;
      continue;
    }
    if (wordStart && c >= u'a' && c <= u'z')
      c = char16_t(c - u'a' + u'A');
    result.push_back(c);
    wordStart = !isLetter(c) && !(c >= u'0' && c <= u'9');
  }
  while (!result.empty() && result.back() == u' ')
    result.pop_back();
  return result;
}

} // namespace ce::demo
