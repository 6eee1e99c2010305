// Feeds arbitrary device paths to the resolver over a device tree full of links that lead
// outside, and aborts if any resolved host path lies outside fs/.
//
// Input bytes: printable ASCII stands for itself; 0x80-0x8F are whole names from the tree
// (so mutations reach the links quickly); 0xF0 followed by two bytes is one raw UTF-16 unit;
// other bytes are Latin-1 letters.
#include <ce/core/device_path.h>
#include <ce/core/device_root.h>
#include <ce/core/utf.h>
#include <ce/files.h>
#include <ce/kernel.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

const char16_t* const names[16] = {
    u"etc-link", u"up-link", u"in-link", u"loop1", u"self",    u"Windows", u"..", u"abs-in",
    u"abs-out",  u"deep",    u"up2",     u"chain", u"WINDOWS", u"a.txt",   u"*",  u"in"};

struct Tree {
  fs::path root;
  fs::path fsRoot;
  Tree() {
    std::random_device random;
    root = fs::temp_directory_path() / ("ce-fuzz-path-" + std::to_string(random()));
    fs::create_directories(root / "fs/Windows/Start Menu");
    fs::create_directories(root / "fs/in/deep");
    std::ofstream(root / "fs/Windows/a.txt") << "a";
    std::ofstream(root / "outside") << "secret";
    fsRoot = fs::canonical(root / "fs");
    fs::create_symlink("/etc", fsRoot / "etc-link");
    fs::create_symlink("../..", fsRoot / "up-link");
    fs::create_symlink("Windows", fsRoot / "in-link");
    fs::create_symlink(fsRoot / "Windows", fsRoot / "abs-in");
    fs::create_symlink(root / "outside", fsRoot / "abs-out");
    fs::create_symlink("loop2", fsRoot / "loop1");
    fs::create_symlink("loop1", fsRoot / "loop2");
    fs::create_symlink(".", fsRoot / "self");
    fs::create_symlink("../../..", fsRoot / "in/deep/up2");
    fs::create_symlink("etc-link", fsRoot / "chain");
    fs::create_symlink("../in", fsRoot / "Windows/back");
    ce::DeviceRoot::use(root);
  }
  ~Tree() {
    std::error_code ec;
    fs::remove_all(root, ec);
  }
};

Tree& tree() {
  static Tree instance;
  return instance;
}

bool inside(const fs::path& path, const fs::path& root) {
  auto p = path.begin();
  for (auto r = root.begin(); r != root.end(); ++r, ++p)
    if (p == path.end() || *p != *r) return false;
  for (; p != path.end(); ++p)
    if (*p == "..") return false;
  return true;
}

void check(bool condition) {
  if (!condition) std::abort();
}

std::u16string decode(const std::uint8_t* data, std::size_t size) {
  std::u16string path;
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint8_t b = data[i];
    if (b >= 0x80 && b <= 0x8F) {
      path += names[b - 0x80];
    } else if (b == 0xF0 && i + 2 < size) {
      path += static_cast<char16_t>(data[i + 1] | (data[i + 2] << 8));
      i += 2;
    } else {
      path += static_cast<char16_t>(b);
    }
  }
  return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Tree& t = tree();
  const std::u16string path = decode(data, size);
  for (auto mode : {ce::DevicePath::LastLink::Follow, ce::DevicePath::LastLink::Keep}) {
    DWORD error = 0;
    auto resolved = ce::DevicePath::resolve(path, &error, mode);
    if (!resolved) {
      check(error != 0);
      continue;
    }
    check(inside(resolved->hostPath, t.fsRoot));
    std::error_code ec;
    // Whatever the host makes of the path, with every link resolved, stays inside as well:
    // the entry itself unless it is missing or a link kept as a link, else its folder.
    const bool followed = mode == ce::DevicePath::LastLink::Follow && resolved->exists;
    const bool whole = resolved->isRoot || (resolved->exists && !resolved->isLink);
    const fs::path real =
        fs::canonical(whole ? resolved->hostPath : resolved->hostPath.parent_path(), ec);
    check(!ec);
    check(inside(real, t.fsRoot));
    auto device = ce::DevicePath::toDevice(resolved->hostPath, &error);
    if (followed) {
      check(device.has_value());
      auto again = ce::DevicePath::toHost(*device, &error);
      check(again && *again == resolved->hostPath);
    }
  }
  // The public calls on the same path must not crash either; none of them changes the tree.
  GetFileAttributesW(path.c_str());
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(path.c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    while (FindNextFileW(find, &found)) {}
    FindClose(find);
  }
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return 0;
}
