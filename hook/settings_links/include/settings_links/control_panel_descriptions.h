// The platform's descriptions of its applets: HKEY_LOCAL_MACHINE "ControlPanel" and every key
// below it, each read as one description with the values "Hide", "Group", "Name", "File" and
// "CmdLine".
#pragma once

#include <settings_links/applet_collection.h>
#include <settings_links/registry_key.h>

#include <optional>
#include <string>
#include <string_view>

class ControlPanelDescriptions {
public:
  static constexpr std::u16string_view RootKey = u"ControlPanel\\";
  // Keys deeper than this below the root are not read.
  static constexpr int MaxDepth = 32;

  // Files every description that counts into the collection (root first, then each subkey
  // recursively in enumeration order).
  static void readInto(AppletCollection &collection);

  // One key as a description: it counts when "Hide", "Group", "Name" or "File" is there. Group
  // defaults to System; the target is the file, followed by a space and the command line when
  // both are there.
  static std::optional<AppletRecord> read(const settings_links::RegistryKey &key);

  // The applet key of the description at `keyPath` ("ControlPanel\cplmain\5\"): the part below
  // the root without its final "\", its last "\" turned into ".cpl,", "mycpl.cpl," put in front
  // when the rest is all digits (any of "0" to "?"), in lower case. So cplmain\5 gives
  // cplmain.cpl,5 and 5 gives mycpl.cpl,5. The root itself gives an empty key.
  static std::u16string appletKeyFor(std::u16string_view keyPath);

private:
  static void readKey(const std::u16string &path, int depth, AppletCollection &collection);
};
