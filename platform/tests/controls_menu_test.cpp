// Menus of one process: handles, items, submenus, their byte form, and the arithmetic that sizes
// and places popup menus and message boxes. No device is needed for any of it.
#include "../src/controls/menu_codec.h"
#include "../src/controls/menu_table.h"
#include "../src/controls/message_box_layout.h"
#include "../src/controls/popup_layout.h"

#include <ce/errors.h>
#include <ce/kernel.h>
#include <ce/menus.h>

#include <gtest/gtest.h>

#include <set>
#include <thread>

// Rectangles compare and print by their edges (internal linkage: other tests may do the same).
static bool operator==(const RECT &a, const RECT &b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
static void PrintTo(const RECT &r, std::ostream *out) {
  *out << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}";
}

namespace {

std::u16string textOf(const ce::MenuTree::Item &item) { return item.text; }

TEST(Menus, HandlesAreCheckedAndNeverReused) {
  const HMENU bad = reinterpret_cast<HMENU>(static_cast<std::uintptr_t>(0x12345));
  SetLastError(0);
  EXPECT_FALSE(DestroyMenu(bad));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE));
  SetLastError(0);
  EXPECT_FALSE(AppendMenuW(nullptr, MF_STRING, 1, u"x"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE));
  EXPECT_EQ(GetMenuItemCount(bad), -1);
  EXPECT_EQ(EnableMenuItem(bad, 1, MF_GRAYED), static_cast<UINT>(-1));
  EXPECT_EQ(CheckMenuItem(bad, 1, MF_CHECKED), static_cast<DWORD>(-1));
  EXPECT_EQ(GetSubMenu(bad, 0), nullptr);
  EXPECT_FALSE(IsMenu(bad));
  EXPECT_FALSE(TrackPopupMenuEx(bad, TPM_RETURNCMD, 0, 0, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE));

  std::set<std::uintptr_t> seen;
  for (int i = 0; i < 50; ++i) {
    const HMENU menu = i % 2 ? CreateMenu() : CreatePopupMenu();
    ASSERT_NE(menu, nullptr);
    const auto value = reinterpret_cast<std::uintptr_t>(menu);
    EXPECT_LE(value, 0x7FFFFFFFu) << "a menu handle must fit in a UINT";
    EXPECT_TRUE(seen.insert(value).second) << "handle handed out twice";
    EXPECT_TRUE(IsMenu(menu));
    EXPECT_EQ(GetMenuItemCount(menu), 0);
    EXPECT_TRUE(DestroyMenu(menu));
    EXPECT_FALSE(IsMenu(menu));
    EXPECT_FALSE(DestroyMenu(menu)) << "a destroyed menu is gone";
  }
}

TEST(Menus, ItemsKeepTheirFlagsIdsAndTexts) {
  const HMENU menu = CreatePopupMenu();
  const HMENU sub = CreatePopupMenu();
  ASSERT_TRUE(AppendMenuW(sub, MF_STRING, 201, u"Deep"));
  ASSERT_TRUE(AppendMenuW(menu, MF_STRING, 101, u"Open"));
  ASSERT_TRUE(AppendMenuW(menu, MF_STRING | MF_GRAYED, 102, u"Grayed"));
  ASSERT_TRUE(AppendMenuW(menu, MF_SEPARATOR, 0, nullptr));
  ASSERT_TRUE(AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), u"More"));
  ASSERT_TRUE(AppendMenuW(menu, MF_STRING | MF_CHECKED, 103, nullptr));
  EXPECT_EQ(GetMenuItemCount(menu), 5);
  EXPECT_EQ(GetMenuItemID(menu, 0), 101u);
  EXPECT_EQ(GetMenuItemID(menu, 2), 0u);
  EXPECT_EQ(GetMenuItemID(menu, 3), static_cast<UINT>(-1)) << "a submenu has no command id";
  EXPECT_EQ(GetMenuItemID(menu, 5), static_cast<UINT>(-1));
  EXPECT_EQ(GetSubMenu(menu, 3), sub);
  EXPECT_EQ(GetSubMenu(menu, 0), nullptr);

  const auto tree = ce::MenuTable::instance().snapshot(menu);
  ASSERT_TRUE(tree);
  ASSERT_EQ(tree->items.size(), 5u);
  EXPECT_TRUE(tree->popup);
  EXPECT_TRUE(tree->items[0].isChoosable());
  EXPECT_FALSE(tree->items[1].isChoosable()) << "grayed";
  EXPECT_TRUE(tree->items[2].isSeparator());
  ASSERT_TRUE(tree->items[3].submenu);
  EXPECT_EQ(textOf(tree->items[3].submenu->items.at(0)), u"Deep");
  EXPECT_EQ(tree->items[4].text, u"") << "a null text is an empty one";

  // Enabling and checking by command reaches into submenus; by position stays in the menu.
  EXPECT_EQ(EnableMenuItem(menu, 201, MF_GRAYED), MF_ENABLED);
  EXPECT_EQ(EnableMenuItem(menu, 201, MF_ENABLED), MF_GRAYED);
  EXPECT_EQ(EnableMenuItem(menu, 1, MF_BYPOSITION | MF_ENABLED), MF_GRAYED);
  EXPECT_EQ(EnableMenuItem(menu, 999, MF_GRAYED), static_cast<UINT>(-1));
  EXPECT_EQ(EnableMenuItem(menu, 9, MF_BYPOSITION | MF_GRAYED), static_cast<UINT>(-1));
  EXPECT_EQ(CheckMenuItem(menu, 103, MF_UNCHECKED), static_cast<DWORD>(MF_CHECKED));
  EXPECT_EQ(CheckMenuItem(menu, 101, MF_CHECKED), static_cast<DWORD>(MF_UNCHECKED));
  const auto after = ce::MenuTable::instance().snapshot(menu);
  EXPECT_TRUE(after->items[1].isChoosable());
  EXPECT_TRUE(after->items[0].flags & MF_CHECKED);
  EXPECT_FALSE(after->items[4].flags & MF_CHECKED);

  // Destroying the menu takes its submenu along.
  EXPECT_TRUE(DestroyMenu(menu));
  EXPECT_FALSE(IsMenu(sub));
}

TEST(Menus, RefusesWhatItCannotHoldOrShow) {
  const HMENU a = CreatePopupMenu();
  const HMENU b = CreatePopupMenu();
  const HMENU c = CreatePopupMenu();
  ASSERT_TRUE(AppendMenuW(a, MF_POPUP, reinterpret_cast<UINT_PTR>(b), u"b"));
  ASSERT_TRUE(AppendMenuW(b, MF_POPUP, reinterpret_cast<UINT_PTR>(c), u"c"));
  SetLastError(0);
  EXPECT_FALSE(AppendMenuW(a, MF_POPUP, reinterpret_cast<UINT_PTR>(a), u"self"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(AppendMenuW(c, MF_POPUP, reinterpret_cast<UINT_PTR>(a), u"loop"))
      << "a menu must not contain itself through its submenus";
  EXPECT_FALSE(AppendMenuW(a, MF_POPUP, 0x99999, u"no such menu"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE));
  EXPECT_FALSE(AppendMenuW(a, MF_BITMAP, 1, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  EXPECT_FALSE(AppendMenuW(a, MF_OWNERDRAW, 1, nullptr));
  EXPECT_FALSE(AppendMenuW(a, 0x40000, 1, u"unknown flag"));
  EXPECT_EQ(GetMenuItemCount(a), 1);

  // Texts are cut at their limit; a menu holds a bounded number of items.
  const std::u16string longText(kMaxMenuTextUnits + 50, u'w');
  ASSERT_TRUE(AppendMenuW(c, MF_STRING, 1, longText.c_str()));
  EXPECT_EQ(ce::MenuTable::instance().snapshot(c)->items.at(0).text.size(),
            static_cast<std::size_t>(kMaxMenuTextUnits));
  for (int i = 1; i < kMaxMenuItems; ++i)
    ASSERT_TRUE(AppendMenuW(c, MF_STRING, i, u"i"));
  EXPECT_FALSE(AppendMenuW(c, MF_STRING, 1, u"one too many"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_TRUE(DestroyMenu(a));
  EXPECT_FALSE(IsMenu(c));
}

TEST(Menus, DeepChainsAndSharedSubmenusAreDestroyedSafely) {
  // Far deeper than any copy follows: destroying must neither recurse nor leave any behind.
  std::vector<HMENU> chain{CreatePopupMenu()};
  for (int i = 0; i < 20000; ++i) {
    chain.push_back(CreatePopupMenu());
    ASSERT_TRUE(AppendMenuW(chain[chain.size() - 2], MF_POPUP,
                            reinterpret_cast<UINT_PTR>(chain.back()), u"down"));
  }
  const auto copy = ce::MenuTable::instance().snapshot(chain.front());
  ASSERT_TRUE(copy);
  int depth = 0;
  for (const ce::MenuTree *t = &*copy; t && !t->items.empty(); t = t->items[0].submenu.get())
    ++depth;
  EXPECT_EQ(depth, ce::MenuTable::kMaxDepth + 1) << "copies stop at the depth limit";
  EXPECT_TRUE(DestroyMenu(chain.front()));
  EXPECT_FALSE(IsMenu(chain.back()));

  // A submenu in two menus: the first destroyed takes it; the other still works.
  const HMENU shared = CreatePopupMenu();
  const HMENU one = CreatePopupMenu();
  const HMENU two = CreatePopupMenu();
  ASSERT_TRUE(AppendMenuW(one, MF_POPUP, reinterpret_cast<UINT_PTR>(shared), u"s"));
  ASSERT_TRUE(AppendMenuW(two, MF_POPUP, reinterpret_cast<UINT_PTR>(shared), u"s"));
  EXPECT_TRUE(DestroyMenu(one));
  const auto left = ce::MenuTable::instance().snapshot(two);
  ASSERT_TRUE(left);
  EXPECT_EQ(left->items.at(0).submenu, nullptr);
  EXPECT_EQ(GetSubMenu(two, 0), nullptr);
  EXPECT_TRUE(DestroyMenu(two));
}

TEST(Menus, ThreadsShareTheTable) {
  const HMENU menu = CreatePopupMenu();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([menu, t] {
      for (int i = 0; i < 200; ++i) {
        AppendMenuW(menu, MF_STRING, t * 1000 + i, u"x");
        const HMENU own = CreatePopupMenu();
        AppendMenuW(own, MF_STRING, 1, u"y");
        ce::MenuTable::instance().snapshot(menu);
        DestroyMenu(own);
      }
    });
  for (auto &t : threads)
    t.join();
  EXPECT_EQ(GetMenuItemCount(menu), 800);
  DestroyMenu(menu);
}

ce::MenuTree sampleTree() {
  const HMENU bar = CreateMenu();
  const HMENU popup = CreatePopupMenu();
  const HMENU deep = CreatePopupMenu();
  AppendMenuW(deep, MF_STRING, 7, u"Deep\tCtrl+D");
  AppendMenuW(popup, MF_STRING, 1014, u"Restore");
  AppendMenuW(popup, MF_STRING | MF_GRAYED | MF_CHECKED, 1005, u"Gaps");
  AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(popup, MF_POPUP, reinterpret_cast<UINT_PTR>(deep), u"More \u00e9\U0001F600");
  AppendMenuW(bar, MF_STRING, 1001, u"Lock");
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), u"Menu");
  auto tree = *ce::MenuTable::instance().snapshot(bar);
  DestroyMenu(bar);
  return tree;
}

TEST(MenuCodec, WritesAndReadsBackTheSameMenu) {
  const ce::MenuTree tree = sampleTree();
  EXPECT_FALSE(tree.popup);
  const auto bytes = ce::MenuCodec::encode(tree);
  const auto back = ce::MenuCodec::decode(bytes);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, tree);
  // Built into live menus, the copy holds the same.
  const HMENU built = ce::MenuTable::instance().build(*back);
  ASSERT_NE(built, nullptr);
  EXPECT_EQ(*ce::MenuTable::instance().snapshot(built), tree);
  EXPECT_EQ(GetMenuItemID(built, 0), 1001u);
  EXPECT_NE(GetSubMenu(built, 1), nullptr);
  DestroyMenu(built);
}

TEST(MenuCodec, RefusesDamagedOrHostileBytes) {
  const auto bytes = ce::MenuCodec::encode(sampleTree());
  for (std::size_t cut = 0; cut < bytes.size(); ++cut)
    EXPECT_FALSE(ce::MenuCodec::decode(std::span(bytes.data(), cut))) << "cut at " << cut;
  auto longer = bytes;
  longer.push_back(0);
  EXPECT_FALSE(ce::MenuCodec::decode(longer)) << "trailing bytes";

  const auto patched = [&](std::size_t at, std::uint32_t value) {
    auto copy = bytes;
    for (int i = 0; i < 4; ++i)
      copy[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    return ce::MenuCodec::decode(copy);
  };
  EXPECT_FALSE(patched(0, 0x12345678)) << "magic";
  EXPECT_FALSE(patched(4, 2)) << "popup flag other than 0 or 1";
  EXPECT_FALSE(patched(8, 0xFFFFFFFF)) << "item count";
  EXPECT_FALSE(patched(12, 0x8000)) << "unknown item flag";
  EXPECT_FALSE(patched(20, 0x7FFFFFFF)) << "text length";
  EXPECT_FALSE(patched(12, MF_SEPARATOR)) << "a separator with a text";

  // Nesting up to the depth limit is read; one level more is refused rather than followed.
  const auto nested = [](int levels) {
    std::vector<std::uint8_t> bytes{0x4D, 0x4E, 0x55, 0x31};
    const auto put = [&](std::uint32_t v) {
      for (int b = 0; b < 4; ++b)
        bytes.push_back(static_cast<std::uint8_t>(v >> (8 * b)));
    };
    for (int i = 0; i < levels; ++i)
      for (std::uint32_t v : {1u, 1u, static_cast<std::uint32_t>(MF_POPUP), 0u, 0u, 1u})
        put(v);
    put(1);
    put(0);
    return bytes;
  };
  EXPECT_TRUE(ce::MenuCodec::decode(nested(ce::MenuTable::kMaxDepth)));
  EXPECT_FALSE(ce::MenuCodec::decode(nested(ce::MenuTable::kMaxDepth + 1)));
  EXPECT_FALSE(ce::MenuCodec::decode(nested(100000)));
}

const auto kCharWidth = [](std::u16string_view text) { return static_cast<int>(text.size()) * 10; };

TEST(PopupLayout, RowsAreFingerSizedAndTheWidthFitsTheTexts) {
  const ce::PopupMetrics m = ce::PopupMetrics::atScale(200); // a 480-wide screen
  EXPECT_EQ(m.row, 52);
  ce::MenuTree tree = sampleTree();
  const ce::MenuTree &popup = *tree.items[1].submenu;
  const auto g = ce::PopupLayout::measure(popup, m, kCharWidth, 480);
  ASSERT_EQ(g.rows.size(), 4u);
  EXPECT_TRUE(g.checkColumn);
  EXPECT_TRUE(g.arrowColumn);
  EXPECT_EQ(g.rows[0].top, m.border);
  EXPECT_EQ(g.rows[0].bottom - g.rows[0].top, m.row);
  EXPECT_EQ(g.rows[2].bottom - g.rows[2].top, m.separator);
  EXPECT_EQ(g.size.cy, 3 * m.row + m.separator + 2 * m.border);
  // The widest label is "More é😀" (8 units) + check and arrow columns and padding.
  EXPECT_EQ(g.size.cx, 2 * m.border + 2 * m.padding + 80 + m.checkColumn + m.arrowColumn);
  EXPECT_EQ(ce::PopupLayout::itemAt(g, POINT{5, m.border + m.row + 1}), 1);
  EXPECT_EQ(ce::PopupLayout::itemAt(g, POINT{5, g.size.cy + 3}), -1);

  // A text after a tab gets its own column; narrow menus keep the minimum width; wide ones stop
  // at the screen's.
  const auto deep = ce::PopupLayout::measure(*popup.items[3].submenu, m, kCharWidth, 480);
  EXPECT_EQ(deep.size.cx, std::max(m.minWidth, 2 * m.border + 2 * m.padding + 40 + m.tabGap + 60));
  ce::MenuTree wide;
  wide.items.push_back({MF_STRING, 1, std::u16string(200, u'w'), nullptr});
  EXPECT_EQ(ce::PopupLayout::measure(wide, m, kCharWidth, 480).size.cx, 480);
  EXPECT_EQ(ce::PopupLayout::label(u"Deep\tCtrl+D"), u"Deep");
  EXPECT_EQ(ce::PopupLayout::accelerator(u"Deep\tCtrl+D"), u"Ctrl+D");
}

TEST(PopupLayout, PopupsStayOnTheScreen) {
  const SIZE screen{480, 640};
  const SIZE size{200, 300};
  using L = ce::PopupLayout;
  EXPECT_EQ(L::placeAtPoint({10, 20}, size, 0, screen), (RECT{10, 20, 210, 320}));
  // Near the right and bottom edges the popup flips to the other side of the point.
  EXPECT_EQ(L::placeAtPoint({400, 500}, size, 0, screen), (RECT{200, 200, 400, 500}));
  EXPECT_EQ(L::placeAtPoint({480, 640}, size, TPM_RIGHTALIGN | TPM_BOTTOMALIGN, screen),
            (RECT{280, 340, 480, 640}));
  // Right-aligned at the left edge: flipped to the right of the point.
  EXPECT_EQ(L::placeAtPoint({50, 400}, size, TPM_RIGHTALIGN | TPM_BOTTOMALIGN, screen),
            (RECT{50, 100, 250, 400}));
  // Flipping does not fit either: shifted inside.
  EXPECT_EQ(L::placeAtPoint({150, 320}, SIZE{200, 400}, 0, SIZE{300, 600}),
            (RECT{100, 200, 300, 600}));
  EXPECT_EQ(L::placeAtPoint({240, 320}, size, TPM_CENTERALIGN | TPM_VCENTERALIGN, screen),
            (RECT{140, 170, 340, 470}));
  // Bigger than the screen: from its top left corner.
  EXPECT_EQ(L::placeAtPoint({100, 100}, SIZE{600, 900}, 0, screen), (RECT{0, 0, 600, 900}));
  // Kept clear of a rectangle: beside it, or above or below it with TPM_VERTICAL.
  const RECT exclude{0, 0, 100, 100};
  EXPECT_EQ(L::placeAtPoint({10, 10}, size, 0, screen, &exclude), (RECT{100, 10, 300, 310}));
  EXPECT_EQ(L::placeAtPoint({10, 10}, size, TPM_VERTICAL, screen, &exclude),
            (RECT{10, 100, 210, 400}));

  // Submenus beside their item: right of the parent, else left of it, shifted up to fit.
  const RECT parent{100, 100, 300, 400};
  EXPECT_EQ(L::placeBeside(parent, RECT{101, 150, 299, 200}, SIZE{150, 100}, screen, 1),
            (RECT{299, 149, 449, 249}));
  EXPECT_EQ(L::placeBeside(parent, RECT{101, 150, 299, 200}, SIZE{250, 100}, screen, 1),
            (RECT{230, 149, 480, 249}));
  EXPECT_EQ(L::placeBeside(RECT{250, 100, 450, 400}, RECT{251, 150, 449, 200}, SIZE{200, 100},
                           screen, 1),
            (RECT{51, 149, 251, 249}));
  EXPECT_EQ(L::placeBeside(parent, RECT{101, 600, 299, 640}, SIZE{150, 100}, screen, 1),
            (RECT{299, 540, 449, 640}));
}

TEST(MessageBoxLayout, ButtonsFollowTheType) {
  using B = ce::MessageBoxButtons;
  const auto ok = B::forType(MB_OK | MB_ICONHAND);
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->answers, std::vector<int>{IDOK});
  EXPECT_EQ(ok->escapeAnswer, IDOK);
  const auto ync = B::forType(MB_YESNOCANCEL | MB_DEFBUTTON3);
  EXPECT_EQ(ync->answers, (std::vector<int>{IDYES, IDNO, IDCANCEL}));
  EXPECT_EQ(ync->defaultIndex, 2);
  EXPECT_EQ(ync->escapeAnswer, IDCANCEL);
  const auto yesNo = B::forType(MB_YESNO | MB_DEFBUTTON4);
  EXPECT_EQ(yesNo->defaultIndex, 0) << "a default beyond the buttons falls back to the first";
  EXPECT_EQ(yesNo->escapeAnswer, 0) << "yes/no cannot be escaped";
  EXPECT_EQ(B::forType(MB_ABORTRETRYIGNORE)->answers,
            (std::vector<int>{IDABORT, IDRETRY, IDIGNORE}));
  EXPECT_EQ(B::forType(MB_ABORTRETRYIGNORE)->escapeAnswer, 0);
  EXPECT_EQ(B::forType(MB_RETRYCANCEL)->answers, (std::vector<int>{IDRETRY, IDCANCEL}));
  EXPECT_EQ(B::forType(MB_OKCANCEL | MB_DEFBUTTON2)->defaultIndex, 1);
  EXPECT_FALSE(B::forType(6));
  EXPECT_FALSE(B::forType(0xF));
  EXPECT_EQ(std::u16string(B::label(IDRETRY)), u"Retry");

  // Three buttons on a 480-wide screen: same size, one row, centred, inside the box.
  const auto m = ce::MessageBoxMetrics::atScale(200);
  const int width = ce::MessageBoxLayout::boxWidth(SIZE{480, 640}, m);
  EXPECT_EQ(width, 480 - 2 * m.margin);
  const SIZE box = ce::MessageBoxLayout::boxSize(width, 100, true, 640, m);
  const auto rects = ce::MessageBoxLayout::buttonRects(box, 3, m);
  ASSERT_EQ(rects.size(), 3u);
  EXPECT_EQ(rects[0].left, box.cx - rects[2].right) << "centred";
  for (const RECT &r : rects) {
    EXPECT_EQ(r.right - r.left, m.buttonWidth);
    EXPECT_EQ(r.top, rects[0].top);
    EXPECT_GT(r.top, ce::MessageBoxLayout::bodyRect(box, m).bottom - 1);
    EXPECT_LE(r.bottom, box.cy);
  }
  // A text taller than the screen makes a box as tall as the screen, no taller.
  EXPECT_EQ(ce::MessageBoxLayout::boxSize(width, 5000, false, 640, m).cy, 640);
  const RECT placed = ce::MessageBoxLayout::place(box, SIZE{480, 640});
  EXPECT_EQ(placed.left, m.margin);
  EXPECT_EQ(placed.top, (640 - box.cy) / 2);
}

} // namespace
