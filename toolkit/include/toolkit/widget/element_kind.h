// The kinds of element, the second key (tag) with which the programs find their controls again
// through findElement(identifier, kind).
#pragma once

enum ElementKind : int {
  KindChildSection = 1,
  KindEditControl = 2,
  KindItem = 3,
  KindLabel = 4,
  KindPanel = 5,
  KindPictureBox = 6,
  KindSelector = 7,
  KindIcon = 8,
};
