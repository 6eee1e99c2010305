#include <installer/installer_labels.h>

#include <config/label_table.h>
#include <config/language_file.h>

namespace {

// The label keys that start with an English text here (the table's own text, but
// LANG_RESTOR, which is "Restore" at installation).
constexpr std::u16string_view DefaultKeys[] = {
    u"LANG_CHOOSE",        u"NB_ICON_PER_LINE",  u"LANG_SAVE",          u"LANG_CANCEL",
    u"LANG_ICON_WIDTH",    u"LANG_LOCK",         u"LANG_RESTOR",        u"LANG_QUIT",
    u"LANG_BACK",          u"LANG_OPTIONS",      u"LANG_HIDE",          u"LANG_MOVE",
    u"LANG_CHANGE_IMG",    u"LANG_RENAME",       u"EXPLAIN_MOVE",       u"EXPLAIN_RENAME",
    u"EXPLAIN_CHANGE_IMG", u"LANG_HIGH_QUALITY", u"LANG_STOP_SERVICE",  u"LANG_START_SERVICE",
    u"LANG_CACHE_ICON",    u"LANG_PRINT_NAME",   u"LANG_TEXT_COLOR",    u"LANG_NB_ICON_MAX",
    u"LANG_ADD",           u"LANG_BACK_IMG",     u"LANG_BACK_IMG_LAND", u"LANG_BACK_FUSION",
    u"LANG_WINDOWS_HOOK",  u"LANG_START",        u"LANG_ANIM",          u"LANG_ANIM1",
    u"LANG_SHOW_QLINK",    u"LANG_OPTION",       u"LANG_PROGRAMS",      u"LANG_DEBUG",
    u"LANG_LAYOUT",        u"LANG_PERF",
};

constexpr std::u16string_view WrittenKeys[] = {
    u"LANG_LOCK",    u"EXPLAIN_CHANGE_IMG", u"EXPLAIN_RENAME", u"LANG_CHANGE_IMG",
    u"LANG_RENAME",  u"LANG_MOVE",          u"LANG_HIDE",      u"LANG_OPTIONS",
    u"LANG_BACK",    u"LANG_QUIT",          u"LANG_RESTOR",    u"LANG_ADD",
    u"LANG_PROGRAM", u"LANG_SET_POSITION",  u"LANG_NEW_NAME",  u"LANG_REMOVE",
    u"LANG_MENU",    u"LANG_OPTION",        u"LANG_PROGRAMS",
};

} // namespace

InstallerLabels::InstallerLabels() {
  const LabelTable english;
  for (const auto key : DefaultKeys)
    texts_.emplace(std::u16string(key), english.get(key));
  texts_[u"LANG_RESTOR"] = u"Restore";
}

bool InstallerLabels::load(std::u16string_view path) {
  return LanguageFile::read(path, [this](std::u16string_view key, std::u16string_view text) {
    texts_.insert_or_assign(std::u16string(key), std::u16string(text));
  });
}

std::u16string InstallerLabels::get(std::u16string_view key) const {
  const auto found = texts_.find(key);
  return found == texts_.end() ? std::u16string() : found->second;
}

std::span<const std::u16string_view> InstallerLabels::writtenKeys() { return WrittenKeys; }

void InstallerLabels::writeTo(const RegistryKey &settings) const {
  for (const auto key : WrittenKeys) {
    const std::u16string text = get(key);
    if (!text.empty())
      settings.writeText(key, text);
  }
}
