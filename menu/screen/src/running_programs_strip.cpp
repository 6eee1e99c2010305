#include <menu/screen/running_programs_strip.h>

#include <vector>

RunningProgramsStrip::RunningProgramsStrip() : MyBiDirectionPanel(StripIdentifier, 0, 0, 0, {}) {
  collapse();
}

void RunningProgramsStrip::paint(Surface *target, int x, int y) {
  if (!isEmpty())
    MyBiDirectionPanel::paint(target, x, y);
}

void RunningProgramsStrip::clear() {
  const std::vector<Element *> tiles = children();
  for (Element *tile : tiles)
    delete tile; // each tells the strip, which forgets it
  collapse();
}

void RunningProgramsStrip::collapse() {
  const int change = bounds.top - bounds.bottom;
  if (change == 0)
    return;
  bounds.bottom = bounds.top;
  if (owner)
    owner->resize(0, 0, change);
}
