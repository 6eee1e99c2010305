// The package manifest reader: what it accepts, and the manifests it refuses before anything is
// installed.
#include "../src/packages/package_manifest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ce::PackageManifest;

std::optional<PackageManifest> parse(const std::string &text, std::string *error = nullptr) {
  std::string ignored;
  return PackageManifest::parse(text, error ? error : &ignored);
}

TEST(PackageManifest, ReadsKeysFilesAndTheirDestinations) {
  // A byte-order mark, CR LF line ends, comments, spaces around keys and values, a file line
  // before the directory line, and a device path with spaces and an arrow-like text.
  const std::string text = "\xEF\xBB\xBF# the package\r\n"
                           "\r\n"
                           "  name =  Demo Package \r\n"
                           "file=bin/app.exe -> %INSTALLDIR%\\app.exe\r\n"
                           "directory=/Program Files//Demo Package/.\r\n"
                           "setup = ./lib\\setup.dll\r\n"
                           "\tfile = docs/read me.txt ->  \\Windows\\Start Menu\\Read Me.txt\r\n";
  std::string error;
  const auto manifest = parse(text, &error);
  ASSERT_TRUE(manifest) << error;
  EXPECT_EQ(manifest->name(), u"Demo Package");
  EXPECT_EQ(manifest->directory(), u"\\Program Files\\Demo Package");
  ASSERT_TRUE(manifest->setup());
  EXPECT_EQ(*manifest->setup(), "lib/setup.dll");
  ASSERT_EQ(manifest->files().size(), 2u);
  EXPECT_EQ(manifest->files()[0].source, "bin/app.exe");
  EXPECT_EQ(manifest->files()[0].line, 4);
  EXPECT_EQ(manifest->files()[1].source, "docs/read me.txt");

  // %INSTALLDIR% follows the chosen directory; other destinations stay where they are.
  std::string reason;
  EXPECT_EQ(PackageManifest::destinationFor(manifest->files()[0], manifest->directory(), &reason),
            u"\\Program Files\\Demo Package\\app.exe");
  EXPECT_EQ(PackageManifest::destinationFor(manifest->files()[0], u"\\Storage\\Elsewhere", &reason),
            u"\\Storage\\Elsewhere\\app.exe");
  EXPECT_EQ(PackageManifest::destinationFor(manifest->files()[1], u"\\Storage", &reason),
            u"\\Windows\\Start Menu\\Read Me.txt");

  // No setup library and no files is a package too (a registry-only one, say).
  const auto bare = parse("name=Bare\ndirectory=\\Program Files\\Bare\n");
  ASSERT_TRUE(bare);
  EXPECT_FALSE(bare->setup());
  EXPECT_TRUE(bare->files().empty());
}

TEST(PackageManifest, RefusesManifestsThatAreBrokenOrReachOutOfTheirPlaces) {
  const std::string head = "name=P\ndirectory=\\Program Files\\P\n";
  struct Case {
    std::string text;
    std::string expected; // part of the error
  };
  const std::vector<Case> cases = {
      {"directory=\\A\n", "no name line"},
      {"name=P\n", "no directory line"},
      {head + "name=Q\n", "line 3: a second name line"},
      {head + "directory=\\B\n", "a second directory line"},
      {head + "setup=a.dll\nsetup=b.dll\n", "a second setup line"},
      {head + "flie=a -> \\a\n", "unknown key 'flie'"},
      {head + "just text\n", "expected key=value"},
      {head + "file=a.txt\n", "SOURCE -> DESTINATION"},
      {head + "file=a.txt -> \n", "the destination is empty"},
      {"name=\ndirectory=\\A\n", "the name is empty"},
      {"name=A\\B\ndirectory=\\A\n", "device names cannot have"},
      {"name=" + std::string(256, 'n') + "\ndirectory=\\A\n", "longer than 255"},
      {"name=..\ndirectory=\\A\n", "is refused"},
      {"name=P\ndirectory=\n", "directory is empty"},
      {"name=P\ndirectory=%INSTALLDIR%\\x\n", "cannot hold %INSTALLDIR%"},
      // Package paths stay inside the package folder.
      {head + "setup=../outside.dll\n", "leaves the package folder"},
      {head + "file=/etc/passwd -> \\p\n", "not relative to the package folder"},
      {head + "file=a/../../b -> \\p\n", "leaves the package folder"},
      {head + "file=. -> \\p\n", "names no file"},
      // Device paths stay on the device.
      {"name=P\ndirectory=\\..\\outside\n", "climbs above the device's root"},
      {head + "file=a -> %INSTALLDIR%\\..\\..\\..\\etc\\passwd\n", "climbs above"},
      {head + "file=a -> \\Windows\\a|b\n", "cannot have"},
      {head + "file=a -> \\Windows\\..\n", "names no file"},
      {head + "file=a -> \\" + std::string(300, 'x') + "\n", "too long"},
      // Two files may not land on one destination, whatever the case of its letters.
      {head + "file=a -> %INSTALLDIR%\\x.txt\nfile=b -> \\program files\\p\\X.TXT\n",
       "line 4: a second file goes to"},
      // Text that is not UTF-8, or holds a NUL.
      {head + "file=a -> \\\xC3\x28\n", "not valid UTF-8"},
      {head + std::string("file=a\0b -> \\x\n", 15), "NUL byte"},
  };
  for (const auto &c : cases) {
    std::string error;
    EXPECT_FALSE(parse(c.text, &error)) << c.text;
    EXPECT_NE(error.find(c.expected), std::string::npos)
        << "manifest:\n" << c.text << "\nerror: " << error;
  }
  std::string error;
  EXPECT_FALSE(parse(head + std::string(PackageManifest::kMaximumBytes, '#'), &error));
  EXPECT_NE(error.find("larger than"), std::string::npos) << error;
}

TEST(PackageManifest, NormalizesDevicePathsWithoutLeavingTheRoot) {
  std::string error;
  EXPECT_EQ(PackageManifest::normalizeDevicePath(u"Program Files/A//B/./c.txt", &error),
            u"\\Program Files\\A\\B\\c.txt");
  EXPECT_EQ(PackageManifest::normalizeDevicePath(u"\\A\\B\\..\\..\\C", &error), u"\\C");
  EXPECT_EQ(PackageManifest::normalizeDevicePath(u"\\", &error), u"\\");
  EXPECT_EQ(PackageManifest::normalizeDevicePath(u"\\A\\..", &error), u"\\");
  EXPECT_FALSE(PackageManifest::normalizeDevicePath(u"\\A\\..\\..", &error));
  EXPECT_FALSE(PackageManifest::normalizeDevicePath(u"\\A\\b:c", &error));
  EXPECT_FALSE(PackageManifest::normalizeDevicePath(u"\\A\\\xD800x", &error)); // lone surrogate
  // The device's paths end at MAX_PATH - 1 units.
  const std::u16string fits = u"\\" + std::u16string(200, u'a') + u"\\" + std::u16string(57, u'b');
  EXPECT_EQ(fits.size(), 259u);
  EXPECT_TRUE(PackageManifest::normalizeDevicePath(fits, &error));
  EXPECT_FALSE(PackageManifest::normalizeDevicePath(fits + u"b", &error));

  // With another installation directory a destination is checked again.
  const auto manifest = parse("name=P\ndirectory=\\A\\B\\C\nfile=x -> %INSTALLDIR%\\..\\..\\y\n");
  ASSERT_TRUE(manifest);
  EXPECT_EQ(PackageManifest::destinationFor(manifest->files()[0], u"\\A\\B\\C", &error), u"\\A\\y");
  EXPECT_FALSE(PackageManifest::destinationFor(manifest->files()[0], u"\\A", &error));
  EXPECT_NE(error.find("line 3"), std::string::npos) << error;
}

} // namespace
