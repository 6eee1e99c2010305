// The toolkit demo's element identifiers, its log file and the names its tests share with it.
//
// The log holds one line per event or report, its fields separated by single blanks:
//   start 0 0                       the screen was built
//   tap|changed|hold|swipe-right|swipe-left ID 0
//                                   an event the program received, with its element
//   event CODE PARAMETER            any other code (activation 6, commands)
//   state ID STATE / text ID TEXT / choice ID INDEX
//                                   what a check box, a field or a selector holds after an event
//   answer ID N / input ID TEXT / chosen ID PATH
//                                   what a dialog opened by the button ID gave back
//   slide ID back|front             the sliding screen went to its back or front view
//   place ID LEFT TOP RIGHT BOTTOM  where an element is on the screen (key P asks for them)
//   places-end OFFSET BACK MOVING   the front view's scroll offset, 1 when the back view shows,
//                                   1 while a fling still moves the view
//   box TYPE 0, box-part ID LEFT TOP RIGHT BOTTOM, box-end 0 0
//                                   a message box as it was first drawn
//   folder COUNT PATH, tile INDEX LEFT TOP RIGHT BOTTOM PATH, folder-end 0 0
//                                   a folder of the file chooser as it was first drawn
#pragma once

namespace demo {

inline constexpr const char16_t *ApplicationName = u"ToolkitDemo";
inline constexpr const char16_t *LogPath = u"\\Temp\\toolkit_demo.log";
// Set by whoever wants the waiting box (button WaitButton) to end.
inline constexpr const char16_t *EndWaitEvent = u"ToolkitDemoEndWait";
// Where the file chooser starts.
inline constexpr const char16_t *PictureFolder = u"\\My Documents\\Pictures";
// Command lines: a message box before the main window exists, or before the toolkit was even
// given the program's name.
inline constexpr const char16_t *EarlyBoxArgument = u"early";
inline constexpr const char16_t *NamelessArgument = u"nameless";
// The key that asks for the places of the elements.
inline constexpr unsigned PlacesKey = 'P';

enum Identifier : int {
  MainSection = 1,
  FrontSection = 2,
  BackSection = 3,
  Slide = 4,
  SlideLabel = 5,

  LabelsPanel = 10,
  PlainLabel = 11,
  WrappedLabel = 12,
  ItalicLabel = 13,
  SmallLabel = 14,

  ButtonsPanel = 20,
  MessageButton = 21,
  QuestionButton = 22,
  InputButton = 23,
  ChooserButton = 24,
  WaitButton = 25,
  DetailsButton = 26,

  OptionsPanel = 30,
  NamesCheckBox = 31,
  MixedCheckBox = 32,
  SoundSwitch = 33,

  PicturesPanel = 40,
  Photo = 41,
  StripFrame = 42,

  TextPanel = 50,
  NameField = 51,

  IconsPanel = 60,
  FirstIcon = 61, // up to four tiles, 61-64

  SelectorPanel = 70,
  ColourSelector = 71,

  DetailsPanel = 80,
  FirstDetail = 81, // the back view's lines, 81-92
};

inline constexpr int IconCount = 4;
inline constexpr int DetailCount = 12;

} // namespace demo
