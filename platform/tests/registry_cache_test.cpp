// The per-process cache of registry keys: past its budget the least recently used entries go
// first, keys and paths alike, and its count of memory stays right as keys change.
#include "../src/registry/registry_cache.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using ce::RegistryCache;
using ce::RegistryCachedKey;

RegistryCachedKey keyWithValue(std::size_t bytes) {
  RegistryCachedKey key;
  auto &value = key.values.emplace_back();
  value.name = u"v";
  value.held = true;
  value.data.assign(bytes, 1);
  value.size = static_cast<unsigned>(bytes);
  return key;
}

std::u16string pathOf(int n) { return u"software\\item" + std::u16string(1, u'a' + n); }

TEST(RegistryCache, TheLeastRecentlyUsedGoFirstAndTheCountOfMemoryStaysRight) {
  constexpr std::size_t budget = 64 * 1024;
  RegistryCache cache(budget);
  cache.restart(7);
  EXPECT_TRUE(cache.holds(7));
  EXPECT_FALSE(cache.holds(RegistryCache::noVersion));

  // Ten keys of about 5 KB and their paths: all fit.
  for (int n = 1; n <= 10; ++n) {
    cache.noteKey(n, keyWithValue(5000));
    cache.notePath(3, pathOf(n), n);
  }
  const std::size_t full = cache.used();
  EXPECT_GT(full, 50000u);
  EXPECT_LE(full, budget);
  // Key 1 and path 2 are used again; then more keys push past the budget.
  ASSERT_NE(cache.findKey(1), nullptr);
  ASSERT_NE(cache.findPath(3, pathOf(2)), nullptr);
  for (int n = 11; n <= 13; ++n)
    cache.noteKey(n, keyWithValue(5000));
  EXPECT_LE(cache.used(), budget);
  EXPECT_NE(cache.findKey(1), nullptr);
  EXPECT_NE(cache.findPath(3, pathOf(2)), nullptr);
  EXPECT_NE(cache.findKey(13), nullptr);
  // The oldest went: key 2, path 1.
  EXPECT_EQ(cache.findKey(2), nullptr);
  EXPECT_EQ(cache.findPath(3, pathOf(1)), nullptr);
  // Some went at once, not all: what stays takes at most three quarters of the budget.
  EXPECT_LE(cache.used(), budget / 4 * 3 + 6000);
  EXPECT_NE(cache.findKey(10), nullptr);

  // A key that grows or is forgotten is counted as it is now.
  const std::size_t before = cache.used();
  cache.changeKey(10, [](RegistryCachedKey &key) { key.values[0].data.resize(7000); });
  EXPECT_EQ(cache.used(), before + 2000);
  cache.changeKey(99, [](RegistryCachedKey &) { FAIL() << "not held"; });
  cache.forgetKey(10);
  EXPECT_EQ(cache.findKey(10), nullptr);
  EXPECT_LT(cache.used(), before);

  // A retag keeps everything; a restart drops everything.
  cache.retag(9);
  EXPECT_TRUE(cache.holds(9));
  EXPECT_NE(cache.findKey(13), nullptr);
  cache.restart(11);
  EXPECT_EQ(cache.used(), 0u);
  EXPECT_EQ(cache.findKey(13), nullptr);
  EXPECT_EQ(cache.findPath(3, pathOf(2)), nullptr);
}

TEST(RegistryCache, PathsBelowEachRootAreApartAndAbsentKeysAreRemembered) {
  RegistryCache cache;
  cache.restart(1);
  cache.notePath(3, u"software\\a", 5);
  cache.notePath(2, u"software\\a", 0); // known to be absent below another root
  ASSERT_NE(cache.findPath(3, u"software\\a"), nullptr);
  EXPECT_EQ(*cache.findPath(3, u"software\\a"), 5);
  ASSERT_NE(cache.findPath(2, u"software\\a"), nullptr);
  EXPECT_EQ(*cache.findPath(2, u"software\\a"), 0);
  EXPECT_EQ(cache.findPath(1, u"software\\a"), nullptr);
  // Roots outside 1 to 4 are never held.
  cache.notePath(0, u"x", 1);
  cache.notePath(5, u"x", 1);
  EXPECT_EQ(cache.findPath(0, u"x"), nullptr);
  EXPECT_EQ(cache.findPath(5, u"x"), nullptr);
  cache.notePath(3, u"software\\a", 6);
  EXPECT_EQ(*cache.findPath(3, u"software\\a"), 6);
}

TEST(RegistryCachedKey, ValuesAreFoundWhateverTheCaseOfTheirLetters) {
  RegistryCachedKey key;
  for (const char16_t *name : {u"ItemPosition", u"Name", u"\u00c9t\u00e9"}) {
    auto &value = key.values.emplace_back();
    value.name = name;
  }
  EXPECT_EQ(key.value(u"ItemPosition"), &key.values[0]);
  EXPECT_EQ(key.value(u"itemposition"), &key.values[0]);
  EXPECT_EQ(key.value(u"NAME"), &key.values[1]);
  EXPECT_EQ(key.value(u"\u00e9T\u00c9"), &key.values[2]);
  EXPECT_EQ(key.value(u"Nam"), nullptr);
  EXPECT_EQ(key.value(u"Names"), nullptr);
  EXPECT_EQ(key.value(u""), nullptr);
}

} // namespace
