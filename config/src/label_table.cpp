#include <config/label_table.h>
#include <config/language_file.h>

#include <ce/errors.h>
#include <ce/registry.h>

#include <array>

namespace {

constexpr LabelDefault Defaults[] = {
    {u"LANG_CHOOSE", u"Choose a language"},
    {u"NB_ICON_PER_LINE", u"Nb icons per line:"},
    {u"LANG_SAVE", u"Save"},
    {u"LANG_CANCEL", u"Cancel"},
    {u"LANG_ICON_WIDTH", u"Icon width"},
    {u"LANG_LOCK", u"Lock"},
    {u"LANG_RESTOR", u"Un-hide icons"},
    {u"LANG_QUIT", u"Quit"},
    {u"LANG_BACK", u"Back"},
    {u"LANG_OPTIONS", u"Options"},
    {u"LANG_HIDE", u"Hide this icon"},
    {u"LANG_MOVE", u"Move this icon"},
    {u"LANG_CHANGE_IMG", u"Change image"},
    {u"LANG_RENAME", u"Rename this icon"},
    {u"EXPLAIN_MOVE", u"New position of icon (1 is top right):"},
    {u"EXPLAIN_RENAME", u"Enter the new name of icon:"},
    {u"EXPLAIN_CHANGE_IMG", u"Enter the new path to the icon's image:"},
    {u"LANG_HIGH_QUALITY", u"High icon resolution?"},
    {u"LANG_STOP_SERVICE", u"Stop Service"},
    {u"LANG_START_SERVICE", u"Start Service"},
    {u"LANG_CACHE_ICON", u"Use caching?"},
    {u"LANG_PRINT_NAME", u"Print name"},
    {u"LANG_TEXT_COLOR", u"Text color (RRGGBB)"},
    {u"LANG_NB_ICON_MAX", u"Max icon loaded (to use less memory) ?"},
    {u"LANG_ADD", u"Add new link"},
    {u"LANG_BACK_IMG", u"Background image:"},
    {u"LANG_BACK_IMG_LAND", u"Background image (landscape):"},
    {u"LANG_BACK_FUSION", u"Background fusion (0-255)"},
    {u"LANG_WINDOWS_HOOK", u"Hook the windows hardware key?"},
    {u"LANG_START", u"Disable start menu"},
    {u"LANG_ANIM", u"Show the start animation?"},
    {u"LANG_ANIM1", u"Show the run animation?"},
    {u"LANG_SHOW_QLINK", u"Show the quick links?"},
    {u"LANG_OPTION", u"Options"},
    {u"LANG_PROGRAMS", u"Programs:"},
    {u"LANG_DEBUG", u"Debug"},
    {u"LANG_LAYOUT", u"Layout"},
    {u"LANG_PERF", u"Performances"},
    {u"LANG_SET_POSITION", u"Set the new position"},
    {u"LANG_NEW_NAME", u"New name"},
    {u"LANG_REMOVE", u"Remove"},
    {u"LANG_MENU", u"Menu"},
    {u"LANG_HAS_BACKGROUND", u"Print background image?"},
    {u"LANG_COLOR_BACKGROUND", u"Color of background (RGB)"},
    {u"LANG_NEW_ANIM", u"New open animation?"},
    {u"LANG_REMOVE_GAP", u"Remove gaps"},
    {u"LANG_SORT_ALPHA", u"Sort alphabetically"},
    {u"LANG_TEXT_SIZE", u"Size of text"},
    {u"LANG_TEXT_FONT", u"Font of text"},
};

// The menu program reads these from the settings key for its own menus and prompts.
constexpr std::u16string_view SavedKeys[] = {
    u"LANG_LOCK",         u"LANG_QUIT",          u"LANG_BACK",       u"LANG_OPTIONS",
    u"LANG_HIDE",         u"LANG_MOVE",          u"LANG_CHANGE_IMG", u"LANG_RENAME",
    u"EXPLAIN_RENAME",    u"EXPLAIN_CHANGE_IMG", u"LANG_ADD",        u"LANG_PROGRAMS",
    u"LANG_SET_POSITION", u"LANG_NEW_NAME",      u"LANG_REMOVE",     u"LANG_MENU",
    u"LANG_OPTION",       u"LANG_RESTOR",        u"LANG_REMOVE_GAP", u"LANG_SORT_ALPHA",
};

const std::u16string Empty;

} // namespace

LabelTable::LabelTable() { resetToDefaults(); }

std::span<const LabelDefault> LabelTable::defaults() { return Defaults; }

std::span<const std::u16string_view> LabelTable::savedKeys() { return SavedKeys; }

void LabelTable::resetToDefaults() {
  texts_.clear();
  texts_.reserve(std::size(Defaults));
  for (const auto &entry : Defaults)
    texts_.emplace_back(entry.text);
}

int LabelTable::indexOf(std::u16string_view key) const {
  for (std::size_t i = 0; i < std::size(Defaults); ++i) {
    if (Defaults[i].key == key)
      return static_cast<int>(i);
  }
  return -1;
}

bool LabelTable::contains(std::u16string_view key) const { return indexOf(key) >= 0; }

bool LabelTable::set(std::u16string_view key, std::u16string_view text) {
  const int index = indexOf(key);
  if (index < 0)
    return false;
  texts_[static_cast<std::size_t>(index)].assign(text);
  return true;
}

const std::u16string &LabelTable::get(std::u16string_view key) const {
  const int index = indexOf(key);
  return index < 0 ? Empty : texts_[static_cast<std::size_t>(index)];
}

bool LabelTable::load(std::u16string_view path) {
  resetToDefaults();
  return LanguageFile::read(
      path, [this](std::u16string_view key, std::u16string_view text) { set(key, text); });
}

bool LabelTable::writeSavedLabels(HKEY settingsKey) const {
  bool allWritten = true;
  for (const auto key : SavedKeys) {
    const std::u16string name(key);
    const std::u16string &text = get(key);
    const LONG result = RegSetValueExW(settingsKey, name.c_str(), 0, REG_SZ,
                                       reinterpret_cast<const BYTE *>(text.data()),
                                       static_cast<DWORD>(text.size() * sizeof(char16_t)));
    allWritten = allWritten && result == ERROR_SUCCESS;
  }
  return allWritten;
}
