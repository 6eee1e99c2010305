// Arbitrary bytes as a language file in a temporary device root, loaded into the label table;
// every line is also cut as a translation line on its own.
#include <config/label_table.h>
#include <config/language_file.h>

#include <ce/core/device_root.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

struct FuzzDevice {
  FuzzDevice() {
    std::random_device random;
    root = std::filesystem::temp_directory_path() /
           ("fuzz-lang-" + std::to_string(random()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(root / "fs");
    ce::DeviceRoot::use(root);
  }
  ~FuzzDevice() {
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
  }
  std::filesystem::path root;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  static FuzzDevice device;
  {
    std::ofstream out(device.root / "fs" / "lang.fuzz.txt", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
  }
  LabelTable labels;
  labels.set(u"LANG_SAVE", u"changed");
  const bool read = labels.load(u"\\lang.fuzz.txt");
  // Whatever the file says, every key keeps a text and no text is longer than the file.
  for (const auto &entry : LabelTable::defaults()) {
    if (labels.get(entry.key).size() > size + entry.text.size())
      std::abort();
  }
  if (!read && labels.get(u"LANG_SAVE") != u"Save")
    std::abort();

  // The same bytes as one line of UTF-16 units.
  std::u16string line(size / 2, u'\0');
  for (std::size_t i = 0; i < line.size(); ++i) {
    line[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
  }
  if (const auto t = LanguageFile::parseTranslation(line)) {
    if (t->key.size() + t->text.size() > line.size())
      std::abort();
  }
  return 0;
}
