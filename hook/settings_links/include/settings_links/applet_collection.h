// The applets found in one run, by applet key in lower case: the library's file name, a comma
// and the applet's index ("cplmain.cpl,5"). Descriptions of the platform may be filed under an
// applet's identifier name first, until its library tells which applet that is.
#pragma once

#include <settings_links/applet_record.h>

#include <map>
#include <string>

class AppletCollection {
public:
  using Entries = std::map<std::u16string, AppletRecord>;

  // Files a description under `key`, or merges it into the entry already there: a group of 1
  // (System, the default) takes the new group; an empty target, name or icon takes the new
  // one; a hide that is off takes the new hide.
  void addDescription(const std::u16string &key, const AppletRecord &description);

  AppletRecord *find(const std::u16string &key);
  // The entry under `key`, made from `record` when there is none.
  AppletRecord &obtain(const std::u16string &key, const AppletRecord &record);
  // Files the entry of `from` under `to` instead; false when `from` has none or `to` has one.
  bool move(const std::u16string &from, const std::u16string &to);

  const Entries &entries() const { return entries_; }
  std::size_t size() const { return entries_.size(); }
  void clear() { entries_.clear(); }

private:
  Entries entries_;
};
