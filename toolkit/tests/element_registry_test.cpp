// The element registry: finding by identifier and tag, removal that keeps the indexes right,
// scaled positions, and the destruction of everything left at shutdown.
#include "test_elements.h"
#include "toolkit_test_support.h"

#include <toolkit/element/element_registry.h>
#include <toolkit/global/global_informations.h>
#include <toolkit/section/section.h>

namespace {

using toolkit_test::Box;

class ElementRegistryTest : public toolkit_test::ToolkitDevice {
protected:
  void TearDown() override {
    ElementRegistry::destroyAll();
    GlobalInformations::replaceInstance(nullptr);
    ToolkitDevice::TearDown();
  }
};

TEST_F(ElementRegistryTest, FindByIdentifierAndTag) {
  ElementRegistry::destroyAll();
  auto *a = new Box(3, 0, 0, 10, 10, 0, 2);
  auto *b = new Box(7, 0, 0, 10, 10, 0, 5);
  auto *c = new Box(7, 0, 0, 10, 10, 0, 6);
  EXPECT_EQ(findElement(7, 0), b) << "tag 0 matches any tag";
  EXPECT_EQ(findElement(7, -1), b);
  EXPECT_EQ(findElement(7, 6), c);
  EXPECT_EQ(findElement(7, 2), nullptr);
  EXPECT_EQ(findElement(3, 2), a);
  EXPECT_EQ(findElement(4, 0), nullptr);

  // Removal moves the last element into the freed slot and updates its index.
  EXPECT_EQ(ElementRegistry::count(), 3u);
  delete a;
  EXPECT_EQ(ElementRegistry::count(), 2u);
  EXPECT_EQ(ElementRegistry::at(0), c);
  EXPECT_EQ(c->registryIndex(), 0u);
  EXPECT_FALSE(ElementRegistry::contains(a));
  delete b;
  EXPECT_EQ(c->registryIndex(), 0u);
  EXPECT_EQ(findElement(7, 0), c);
}

TEST_F(ElementRegistryTest, PositionsAreScaledUnlessAskedNot) {
  useScreen(240, 320);
  GlobalInformations::replaceInstance(
      std::make_unique<GlobalInformations>(u"ToolkitTest", u"\\x.exe"));
  Box scaled(1, 101, 41, 0, 0, RGB(255, 0, 0), 0, false);
  EXPECT_EQ(scaled.bounds.left, 50);
  EXPECT_EQ(scaled.bounds.top, 20);
  EXPECT_EQ(scaled.bounds.right, 50) << "no size yet";
  Box exact(1, 101, 41, 0, 0);
  EXPECT_EQ(exact.bounds.left, 101);
  exact.resize(0, 30, 20);
  EXPECT_EQ(exact.bounds.right, 131);
  EXPECT_EQ(exact.bounds.bottom, 61);
}

TEST_F(ElementRegistryTest, ShutdownDestroysContainersAndChildrenOnce) {
  ElementRegistry::destroyAll();
  auto *section = new Section(1);
  auto *first = new Box(2, 0, 0, 10, 10);
  auto *second = new Box(3, 0, 0, 10, 10);
  section->add(first);
  section->add(second);
  auto *loose = new Box(4, 0, 0, 10, 10);
  (void)loose;
  // A child destroyed on its own leaves its section.
  delete first;
  ASSERT_EQ(section->children().size(), 1u);
  EXPECT_EQ(section->children()[0], second);
  ElementRegistry::destroyAll();
  EXPECT_EQ(ElementRegistry::count(), 0u);
}

} // namespace
