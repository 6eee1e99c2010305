// The process-wide registry of live elements, guarded by the element critical section of
// GlobalInformations. Removal moves the last element into the freed slot.
#pragma once

#include <cstddef>

class Element;

class ElementRegistry {
public:
  static void add(Element *element);
  static void remove(Element *element);
  // The first registered element with this identifier and, when tag >= 1, this tag.
  static Element *find(int identifier, int tag);
  // Whether a pointer is a registered (live) element; the pointer is not dereferenced.
  static bool contains(const Element *element);
  static std::size_t count();
  static Element *at(std::size_t index);
  // Destroys every registered element, the last registered first (toolkit shutdown).
  static void destroyAll();
};

inline Element *findElement(int identifier, int tag) {
  return ElementRegistry::find(identifier, tag);
}
