// Finds a name in a host directory without regard to case, without reading the directory each
// time: the process keeps, per directory, its names by their folded form.
//
// An index is used only while the directory is the one that was read and unchanged since: the
// same device and inode, the same time of last change and of last modification (creating,
// renaming or deleting an entry moves both, whichever process does it). Host file systems stamp
// those times from a clock that advances in steps, so a change made within the step of the
// last stamp may leave the stamp as it was; an index is therefore kept only when its
// directory's stamps were older than settleTime when the reading began, and a directory changed
// more recently is read again at every lookup. A name the index gives that turns out to be
// missing sends the caller back to reading the directory.
#pragma once

#include <ce/types.h>

#include <chrono>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace ce {

class DirectoryCaseIndex {
public:
  // How long a directory must stay unchanged before its index is kept: beyond the steps of the
  // clocks that stamp file times, including file systems that keep whole seconds.
  static constexpr std::chrono::milliseconds settleTime{1100};
  // Names and directories kept at most; past either the indexes start afresh.
  static constexpr std::size_t maxNames = 1u << 18;
  static constexpr std::size_t maxDirectories = 4096;

  static DirectoryCaseIndex &instance();

  // The folded form of a host name by which names are compared: ASCII letters lowered without
  // conversion, other names folded as device text.
  static std::string foldedName(std::string_view hostName);

  // The name in directory (a host path) equal to name without regard to case, the bytewise
  // first of several. Nothing when none is there (*hostError ENOENT) or the directory cannot be
  // read (*hostError its errno). Names that are not valid UTF-8 are never given: the device
  // cannot name them. With fresh, the directory is read whatever is kept.
  std::optional<std::string> find(const std::string &directory, std::string_view name,
                                  int *hostError, bool fresh = false);

  // True when an index of the directory is kept (whether or not it is still current).
  bool keeps(const std::string &directory);
  // Forgets every index.
  void clear();

private:
  struct Stamp {
    std::uint64_t device = 0, inode = 0;
    std::int64_t changedSeconds = 0, changedNanoseconds = 0;
    std::int64_t modifiedSeconds = 0, modifiedNanoseconds = 0;
    bool operator==(const Stamp &) const = default;
  };
  using Names = std::unordered_map<std::string, std::string>; // folded -> host name
  struct Index {
    Stamp stamp;
    Names names;
  };

  // Reads the directory's stamp; false with *hostError when it is not a readable directory.
  static bool readStamp(const std::string &directory, Stamp *stamp, int *hostError);
  // Lists the directory; false with *hostError when it cannot be read.
  static bool readNames(const std::string &directory, Names *names, int *hostError);
  static std::optional<std::string> lookUp(const Names &names, std::string_view name,
                                           int *hostError);

  std::mutex mutex_;
  std::unordered_map<std::string, Index> indexes_;
  std::size_t names_ = 0;
};

} // namespace ce
