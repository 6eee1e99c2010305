// The base of every visible object of the toolkit.
//
// Coordinates are physical screen pixels, y downwards. Positions given to the constructor are
// logical pixels of a 480-pixel-wide screen, multiplied by the screen scale (truncated) unless
// the caller asks not to scale. Every element is in the process-wide element registry from its
// construction to its destruction.
//
// Ownership: a container owns its children and deletes them in its destructor (after clearing
// their `owner`, so that they do not call back). An element destroyed while it still has an
// owner tells it through the owner's `remove`, so containers never keep a dangling child.
#pragma once

#include <toolkit/surface/surface.h>

#include <cstddef>

class TouchState;

class Element {
public:
  Element(int identifier, int x, int y, int tag = 0, bool noScale = false);
  Element(const Element &) = delete;
  Element &operator=(const Element &) = delete;

  // The eleven operations, in their slot order.
  virtual void loadSurf() {}
  virtual ~Element();
  // Queues the rectangle where the element was last drawn (clamped to the screen) for a full
  // redraw; nothing before the first drawing.
  virtual void invalidate();
  virtual void paint(Surface *target, int x, int y) = 0;
  virtual Element *getElementAt(int x, int y) = 0;
  // Sends event 1 (tap) or 3 (press-and-hold) with this element to the event handler. A non-zero
  // result tells a section that the click was fully handled.
  virtual int onClick(bool hold);
  // Elements that hold no others refuse with a message box.
  virtual void add(Element *child);
  // One frame of the element's own motion; the distance moved (0: at rest).
  virtual int animate() { return 0; }
  virtual void release() { pressed = false; }
  virtual void resize(int ignored, int width, int height);
  virtual void remove(Element *) {}

  int width() const { return bounds.right - bounds.left; }
  int height() const { return bounds.bottom - bounds.top; }
  int identifier() const { return identifier_; }
  int tag() const { return tag_; }
  std::size_t registryIndex() const { return registryIndex_; }

  RECT bounds{};     // relative to the parent's drawing origin
  RECT screenRect{}; // where the element was last drawn (all 0 before)
  bool pressed = false;
  TouchState *touchState = nullptr; // the process's, not owned
  Element *owner = nullptr;         // gets this element's swipes instead of the event handler

protected:
  int identifier_ = 0;
  int reserved_ = 0;
  int tag_ = 0;

private:
  friend class ElementRegistry;
  std::size_t registryIndex_ = 0;
};
