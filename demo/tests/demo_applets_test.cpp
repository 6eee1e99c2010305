// The control-panel libraries on the demo device and the descriptions under HKLM\ControlPanel.
#include "demo_device_fixture.h"

#include "demo_catalog.h"

#include <ce/core/utf.h>

#include <cstring>
#include <map>

namespace demo_test {
namespace {

// One applet library loaded through the platform's loader, freed when the test is done.
class LoadedApplet {
public:
  explicit LoadedApplet(const std::u16string &devicePath)
      : module_(LoadLibraryW(devicePath.c_str())) {
    if (module_)
      entry_ = reinterpret_cast<APPLET_PROC>(
          reinterpret_cast<void *>(GetProcAddressW(module_, u"CPlApplet")));
  }
  ~LoadedApplet() {
    if (module_)
      FreeLibrary(module_);
  }
  bool ok() const { return entry_ != nullptr; }
  LONG send(UINT message, LPARAM a = 0, LPARAM b = 0) const {
    return entry_(nullptr, message, a, b);
  }

private:
  HMODULE module_ = nullptr;
  APPLET_PROC entry_ = nullptr;
};

std::u16string readString(HKEY key, const char16_t *name) {
  WCHAR value[260] = {};
  DWORD size = sizeof value - sizeof(WCHAR);
  if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(value), &size) !=
      ERROR_SUCCESS)
    return {};
  return value;
}

DWORD readNumber(HKEY key, const char16_t *name) {
  DWORD value = 0xFFFFFFFF, size = sizeof value;
  RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE *>(&value), &size);
  return value;
}

struct Description {
  std::u16string keyPath, name, file, commandLine;
  DWORD group = 0;
};

// Every key below HKLM\ControlPanel that carries a Name.
void collect(const std::u16string &path, std::vector<Description> &out) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
  Description d{path, readString(key, u"Name"), readString(key, u"File"),
                readString(key, u"CmdLine"), readNumber(key, u"Group")};
  if (!d.name.empty())
    out.push_back(d);
  for (DWORD i = 0;; ++i) {
    WCHAR sub[256];
    DWORD length = 256;
    if (RegEnumKeyExW(key, i, sub, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    collect(path + u"\\" + sub, out);
  }
  RegCloseKey(key);
}

TEST_F(DemoDevice, ControlPanelDescriptionsNameAppletsTheLibrariesReport) {
  std::vector<Description> descriptions;
  collect(u"ControlPanel", descriptions);
  ASSERT_EQ(descriptions.size(), ce::demo::sampleApplets().size());
  for (const Description &d : descriptions) {
    SCOPED_TRACE(ce::toUtf8(d.keyPath));
    EXPECT_EQ(d.file, u"\\Windows\\ctlpnl.exe");
    const auto comma = d.commandLine.find(u',');
    ASSERT_NE(comma, std::u16string::npos);
    const std::u16string library = d.commandLine.substr(0, comma);
    const int index = std::stoi(ce::toUtf8(d.commandLine.substr(comma + 1)));

    LoadedApplet applet(u"\\Windows\\" + library);
    ASSERT_TRUE(applet.ok()) << GetLastError();
    ASSERT_EQ(applet.send(CPL_INIT), 1);
    ASSERT_LT(index, applet.send(CPL_GETCOUNT));
    NEWCPLINFOW info{};
    ASSERT_EQ(applet.send(CPL_NEWINQUIRE, index, reinterpret_cast<LPARAM>(&info)), 0);
    EXPECT_EQ(std::u16string(info.szName), d.name);
    WCHAR idName[CPL_IDNAME_LENGTH + 1] = {};
    ASSERT_EQ(applet.send(CPL_IDNAME, index, reinterpret_cast<LPARAM>(idName)), 0);

    // The key is "<library without .cpl>\<index>" or the applet's identifier name.
    const std::u16string byPosition = u"ControlPanel\\" + library.substr(0, library.size() - 4) +
                                      u"\\" + ce::toUtf16(std::to_string(index));
    EXPECT_TRUE(ce::equalsIgnoreCase(d.keyPath, byPosition) ||
                ce::equalsIgnoreCase(d.keyPath, u"ControlPanel\\" + std::u16string(idName)));
    for (const auto &a : ce::demo::sampleApplets())
      if (a.name == d.name) {
        EXPECT_EQ(d.group, DWORD(a.group));
      }
    applet.send(CPL_STOP, index);
    applet.send(CPL_EXIT);
  }
}

TEST_F(DemoDevice, AppletsAnswerEveryMessageAndKeepTheirIconsUntilExit) {
  for (std::u16string_view library : ce::demo::appletLibraries()) {
    SCOPED_TRACE(ce::toUtf8(library));
    const auto applets = ce::demo::appletsOf(library);
    // A bare library name is looked for in \\Windows.
    LoadedApplet applet{std::u16string(library)};
    ASSERT_TRUE(applet.ok()) << GetLastError();
    ASSERT_EQ(applet.send(CPL_INIT), 1);
    ASSERT_EQ(applet.send(CPL_GETCOUNT), LONG(applets.size()));
    ASSERT_GE(applets.size(), 2u) << "several applets per library";

    std::vector<HICON> icons;
    for (const auto &expected : applets) {
      // A record full of garbage is filled completely.
      NEWCPLINFOW info;
      std::memset(&info, 0xCD, sizeof info);
      ASSERT_EQ(applet.send(CPL_NEWINQUIRE, expected.index, reinterpret_cast<LPARAM>(&info)), 0);
      EXPECT_EQ(info.dwSize, sizeof(NEWCPLINFOW));
      EXPECT_EQ(info.lData, expected.index);
      EXPECT_EQ(std::u16string(info.szName), expected.name);
      EXPECT_EQ(std::u16string(info.szInfo), expected.info);
      EXPECT_EQ(info.szHelpFile[0], 0);
      ICONINFO iconInfo{};
      ASSERT_TRUE(GetIconInfo(info.hIcon, &iconInfo));
      BITMAP bitmap{};
      GetObjectW(iconInfo.hbmColor, sizeof bitmap, &bitmap);
      EXPECT_EQ(bitmap.bmWidth, 64);
      DeleteObject(iconInfo.hbmColor);
      DeleteObject(iconInfo.hbmMask);
      icons.push_back(info.hIcon);

      CPLINFO old{};
      ASSERT_EQ(applet.send(CPL_INQUIRE, expected.index, reinterpret_cast<LPARAM>(&old)), 0);
      EXPECT_EQ(old.idIcon, expected.index + 1);

      // Opening records which applet was opened.
      ASSERT_EQ(applet.send(CPL_DBLCLK, expected.index), 0);
      HKEY key = nullptr;
      ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Demo\\Applets", 0, KEY_READ, &key),
                ERROR_SUCCESS);
      EXPECT_EQ(readString(key, u"LastOpened"),
                std::u16string(library) + u"," + ce::toUtf16(std::to_string(expected.index)));
      RegCloseKey(key);
    }

    // Indices it does not have, and missing records, leave everything untouched.
    NEWCPLINFOW untouched;
    std::memset(&untouched, 0x5A, sizeof untouched);
    const NEWCPLINFOW copy = untouched;
    const LONG count = LONG(applets.size());
    EXPECT_NE(applet.send(CPL_NEWINQUIRE, count, reinterpret_cast<LPARAM>(&untouched)), 0);
    EXPECT_NE(applet.send(CPL_NEWINQUIRE, -1, reinterpret_cast<LPARAM>(&untouched)), 0);
    EXPECT_EQ(std::memcmp(&untouched, &copy, sizeof copy), 0);
    EXPECT_NE(applet.send(CPL_NEWINQUIRE, 0, 0), 0);
    EXPECT_NE(applet.send(CPL_IDNAME, count, 0), 0);
    EXPECT_NE(applet.send(CPL_DBLCLK, count), 0);
    EXPECT_NE(applet.send(0x7777), 0);

    // The icons belong to the library until CPL_EXIT, which releases them.
    for (std::size_t i = 0; i < applets.size(); ++i)
      applet.send(CPL_STOP, LPARAM(i));
    EXPECT_EQ(applet.send(CPL_EXIT), 0);
    for (HICON icon : icons)
      EXPECT_FALSE(DestroyIcon(icon));
  }
}

} // namespace
} // namespace demo_test
