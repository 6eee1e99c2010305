#include <toolkit/element/element.h>
#include <toolkit/element/element_registry.h>
#include <toolkit/global/critical_section_lock.h>
#include <toolkit/global/global_informations.h>

#include <unordered_set>
#include <vector>

namespace {

std::vector<Element *> elements;
std::unordered_set<const Element *> live;
// Used only when no GlobalInformations exists (tools and tests without an application).
CRITICAL_SECTION fallbackSection{};

CRITICAL_SECTION &registrySection() {
  GlobalInformations *global = GlobalInformations::getInstance();
  return global ? global->elementSection() : fallbackSection;
}

} // namespace

void ElementRegistry::add(Element *element) {
  CriticalSectionLock lock(registrySection());
  element->registryIndex_ = elements.size();
  elements.push_back(element);
  live.insert(element);
}

void ElementRegistry::remove(Element *element) {
  CriticalSectionLock lock(registrySection());
  if (!live.erase(element))
    return;
  const std::size_t index = element->registryIndex_;
  if (index >= elements.size() || elements[index] != element)
    return;
  Element *last = elements.back();
  elements[index] = last;
  last->registryIndex_ = index;
  elements.pop_back();
}

Element *ElementRegistry::find(int identifier, int tag) {
  CriticalSectionLock lock(registrySection());
  for (Element *element : elements)
    if (element->identifier() == identifier && (tag < 1 || element->tag() == tag))
      return element;
  return nullptr;
}

bool ElementRegistry::contains(const Element *element) {
  CriticalSectionLock lock(registrySection());
  return live.count(element) != 0;
}

std::size_t ElementRegistry::count() {
  CriticalSectionLock lock(registrySection());
  return elements.size();
}

Element *ElementRegistry::at(std::size_t index) {
  CriticalSectionLock lock(registrySection());
  return index < elements.size() ? elements[index] : nullptr;
}

void ElementRegistry::destroyAll() {
  for (;;) {
    Element *last = nullptr;
    {
      CriticalSectionLock lock(registrySection());
      if (elements.empty())
        return;
      last = elements.back();
    }
    // A container deletes its children with it, and they leave the registry as they go.
    delete last;
  }
}
