// The strip of running programs above the grid at the top level (element 11). Its tiles are the
// running programs' own; while it has none it takes no room and draws nothing, so that an empty
// strip leaves no bare header above the grid.
#pragma once

#include <toolkit/section/my_panel.h>

class RunningProgramsStrip : public MyBiDirectionPanel {
public:
  static constexpr int StripIdentifier = 11;

  RunningProgramsStrip();
  void paint(Surface *target, int x, int y) override;
  // Destroys every tile of the strip; it takes no room afterwards.
  void clear();
  bool isEmpty() const { return children().empty(); }

private:
  void collapse();
};
