#include <menu/menu_labels.h>

namespace {

struct LabelEntry {
  std::u16string_view key;
  std::u16string_view english;
};

constexpr std::array<LabelEntry, MenuLabels::Count> Entries{{
    {u"LANG_LOCK", u"Lock"},
    {u"LANG_RESTOR", u"Un-hide icons"},
    {u"LANG_REMOVE_GAP", u"Remove gaps"},
    {u"LANG_SORT_ALPHA", u"Sort alphabetically"},
    {u"LANG_QUIT", u"Quit"},
    {u"LANG_BACK", u"Back"},
    {u"LANG_PROGRAMS", u"Programs:"},
    {u"LANG_OPTION", u"Options"},
    {u"LANG_HIDE", u"Hide this icon"},
    {u"LANG_MOVE", u"Move this icon"},
    {u"LANG_CHANGE_IMG", u"Change image"},
    {u"LANG_RENAME", u"Rename this icon"},
    {u"EXPLAIN_RENAME", u"Enter the new name of icon:"},
    {u"EXPLAIN_CHANGE_IMG", u"Enter the new path to the icon's image:"},
    {u"EXPLAIN_MOVE", u"New position of icon (1 is top left)"},
    {u"LANG_ADD", u"Add new link"},
    {u"LANG_MENU", u"Menu"},
    {u"LANG_REMOVE", u"Remove"},
    {u"LANG_NEW_NAME", u"New name"},
    {u"LANG_SET_POSITION", u"Set the new position"},
    {u"LANG_FORCE_CLOSE", u"Force to close"},
    {u"LANG_ALWAYS_HIDE", u"Always hide"},
}};

} // namespace

std::u16string_view MenuLabels::keyOf(Label label) {
  return Entries[static_cast<std::size_t>(label)].key;
}

std::u16string_view MenuLabels::englishOf(Label label) {
  return Entries[static_cast<std::size_t>(label)].english;
}
