#include "package_installer.h"

#include "installation_record.h"
#include "package_files.h"

#include <ce/core/printable_text.h>
#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/files.h>

#include <algorithm>
#include <chrono>
#include <set>

namespace ce::tool {
namespace {

namespace fs = std::filesystem;

// Device text as it is shown: on its own line, whatever it holds.
std::string utf8(std::u16string_view text) { return ce::printable(ce::toUtf8(text)); }

bool endsWithIgnoringCase(std::u16string_view text, std::u16string_view end) {
  return text.size() >= end.size() && ce::equalsIgnoreCase(text.substr(text.size() - end.size()), end);
}

WORD clampCount(std::size_t count) { return static_cast<WORD>(std::min<std::size_t>(count, 0xFFFF)); }

bool exists(const std::u16string &devicePath) {
  return GetFileAttributesW(devicePath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string plural(std::size_t count, const char *one, const char *many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

} // namespace

PackageInstaller::PackageInstaller(fs::path package, PackageManifest manifest, std::ostream &out)
    : package_(std::move(package)), manifest_(std::move(manifest)), out_(out) {}

std::optional<fs::path> PackageInstaller::packageFile(const std::string &relative,
                                                      std::string *error) const {
  std::error_code ec;
  const fs::path path = package_ / relative;
  const auto status = fs::status(path, ec);
  if (!fs::exists(status)) {
    *error = relative + " is not in the package";
    return std::nullopt;
  }
  if (!fs::is_regular_file(status)) {
    *error = relative + " is not a file";
    return std::nullopt;
  }
  // A link inside the package must not lead out of it.
  const fs::path real = fs::canonical(path, ec);
  const fs::path inside = ec ? fs::path("..") : real.lexically_relative(package_);
  if (inside.empty() || *inside.begin() == "..") {
    *error = relative + " leads out of the package folder";
    return std::nullopt;
  }
  return real;
}

Outcome PackageInstaller::plan(const std::optional<std::u16string> &directory) {
  std::error_code ec;
  package_ = fs::canonical(package_, ec);
  if (ec)
    return Outcome::refused("cannot read the package folder: " + ec.message());

  std::string error;
  if (directory) {
    if (directory->find(PackageManifest::kInstallDirectory) != std::u16string::npos)
      return Outcome::refused("the installation directory cannot hold %INSTALLDIR%");
    auto normalized = PackageManifest::normalizeDevicePath(*directory, &error);
    if (!normalized)
      return Outcome::refused("the installation directory " + error);
    installDirectory_ = *normalized;
  } else {
    installDirectory_ = manifest_.directory();
  }

  if (manifest_.setup()) {
    setupSource_ = packageFile(*manifest_.setup(), &error);
    if (!setupSource_)
      return Outcome::refused("bad package: the setup library " + error);
    if (!PackageManifest::normalizeDevicePath(PackageFiles::stagedSetupLibrary(manifest_.name()),
                                              &error))
      return Outcome::refused("the name is too long for the device's paths");
  }

  std::set<std::u16string> destinations;
  for (const auto &file : manifest_.files()) {
    auto source = packageFile(file.source, &error);
    if (!source)
      return Outcome::refused("bad package: line " + std::to_string(file.line) + ": " + error);
    auto destination = PackageManifest::destinationFor(file, installDirectory_, &error);
    if (!destination)
      return Outcome::refused("bad package: " + error);
    if (!destinations.insert(ce::foldCase(*destination)).second)
      return Outcome::refused("bad package: line " + std::to_string(file.line) +
                              ": a second file goes to " + utf8(*destination));
    copies_.push_back({*source, *destination, endsWithIgnoringCase(*destination, u".lnk")});
  }
  return Outcome::success();
}

std::unique_ptr<SetupLibrary> PackageInstaller::stageSetupLibrary(Outcome *outcome) {
  const std::u16string staged = PackageFiles::stagedSetupLibrary(manifest_.name());
  std::vector<std::u16string> created;
  const auto folders = PackageFiles::parentFolders(staged);
  if (const DWORD error = PackageFiles::makeFolders(folders.back(), &created);
      error != ERROR_SUCCESS) {
    *outcome = Outcome::failed("cannot make " + utf8(folders.back()) + ": " +
                               PackageFiles::errorText(error));
    return nullptr;
  }
  std::string reason;
  if (!PackageFiles::copyIn(*setupSource_, staged, &reason)) {
    *outcome = Outcome::failed("cannot copy the setup library to " + utf8(staged) + ": " + reason);
    dropStagedSetupLibrary();
    return nullptr;
  }
  DWORD error = ERROR_SUCCESS;
  auto library = SetupLibrary::load(staged, &error);
  if (!library) {
    *outcome = Outcome::unsuccessful("cannot load the setup library " + *manifest_.setup() + ": " +
                                     PackageFiles::errorText(error) + "; nothing was installed");
    dropStagedSetupLibrary();
    return nullptr;
  }
  if (const auto missing = library->missingEntryPoints(); !missing.empty()) {
    out_ << "note: the setup library does not export";
    for (const auto &name : missing)
      out_ << ' ' << name;
    out_ << "; those steps are skipped\n";
  }
  return library;
}

void PackageInstaller::dropStagedSetupLibrary() {
  const std::u16string staged = PackageFiles::stagedSetupLibrary(manifest_.name());
  std::string ignored;
  PackageFiles::removeFile(staged, &ignored);
  PackageFiles::removeEmptyFolders({PackageFiles::parentFolders(staged).back()});
}

std::u16string PackageInstaller::keepSetupLibrary() {
  const std::u16string staged = PackageFiles::stagedSetupLibrary(manifest_.name());
  const std::u16string kept = PackageFiles::keptSetupLibrary(manifest_.name());
  std::string reason;
  if (!PackageFiles::removeFile(kept, &reason) || !MoveFileW(staged.c_str(), kept.c_str())) {
    out_ << "warning: the setup library stays at " << utf8(staged) << " (cannot move it to "
         << utf8(kept) << ")\n";
    return staged;
  }
  PackageFiles::removeEmptyFolders({PackageFiles::parentFolders(staged).back()});
  return kept;
}

Outcome PackageInstaller::install(const std::optional<std::u16string> &directory) {
  const auto started = std::chrono::steady_clock::now();
  if (auto outcome = plan(directory); !outcome.ok())
    return outcome;
  const std::u16string &name = manifest_.name();

  DWORD error = ERROR_SUCCESS;
  const std::optional<InstallationRecord> earlier = InstallationRecord::read(name, &error);
  const bool previouslyInstalled = earlier.has_value();
  out_ << "installing " << utf8(name) << " into " << utf8(installDirectory_)
       << (previouslyInstalled ? " (installed before)" : "") << '\n';

  std::unique_ptr<SetupLibrary> setup;
  if (setupSource_) {
    Outcome outcome = Outcome::success();
    setup = stageSetupLibrary(&outcome);
    if (!setup)
      return outcome;
    const int answer = setup->installInit(previouslyInstalled, installDirectory_);
    if (answer != codeINSTALL_INIT_CONTINUE) {
      setup.reset();
      dropStagedSetupLibrary();
      return Outcome::unsuccessful("the setup library cancelled the installation (Install_Init "
                                   "answered " +
                                   std::to_string(answer) + "); nothing was installed");
    }
  }

  // Folders, then files, one line each.
  std::vector<std::u16string> createdFolders;
  std::set<std::u16string> failedFolders; // folded
  std::vector<std::u16string> installed;  // destinations copied
  std::vector<std::u16string> fresh;      // destinations that did not exist before
  std::size_t failedFiles = 0, failedShortcuts = 0;
  const auto makeFolder = [&](const std::u16string &folder) {
    if (failedFolders.count(ce::foldCase(folder)))
      return false;
    if (const DWORD made = PackageFiles::makeFolders(folder, &createdFolders);
        made != ERROR_SUCCESS) {
      failedFolders.insert(ce::foldCase(folder));
      out_ << "  cannot make the folder " << utf8(folder) << ": " << PackageFiles::errorText(made)
           << '\n';
      return false;
    }
    return true;
  };
  makeFolder(installDirectory_);
  const std::size_t total = copies_.size();
  for (std::size_t i = 0; i < total; ++i) {
    const Copy &copy = copies_[i];
    out_ << "  [" << i + 1 << '/' << total << "] " << utf8(copy.destination);
    std::string reason;
    const bool existed = exists(copy.destination);
    const auto parents = PackageFiles::parentFolders(copy.destination);
    bool ok = parents.empty() || makeFolder(parents.back());
    if (!ok)
      reason = "its folder could not be made";
    else
      ok = PackageFiles::copyIn(copy.source, copy.destination, &reason);
    if (ok) {
      installed.push_back(copy.destination);
      if (!existed)
        fresh.push_back(copy.destination);
      out_ << '\n';
    } else {
      ++(copy.shortcut ? failedShortcuts : failedFiles);
      out_ << " -- failed: " << reason << '\n';
    }
    out_.flush();
  }

  if (setup) {
    const int answer = setup->installExit(installDirectory_, clampCount(failedFolders.size()),
                                          clampCount(failedFiles), clampCount(failedShortcuts));
    if (answer != codeINSTALL_EXIT_DONE) {
      // Undo what this run added; files that were there before stay (they were replaced, and
      // the earlier installation's record still names them).
      std::string ignored;
      for (const auto &file : fresh)
        PackageFiles::removeFile(file, &ignored);
      PackageFiles::sortDeepestFirst(createdFolders);
      PackageFiles::removeEmptyFolders(createdFolders);
      setup.reset();
      dropStagedSetupLibrary();
      return Outcome::unsuccessful("the setup library undid the installation (Install_Exit "
                                   "answered " +
                                   std::to_string(answer) + "); nothing was recorded");
    }
    setup.reset();
  }

  InstallationRecord record;
  record.name = name;
  record.directory = installDirectory_;
  if (setupSource_) {
    record.setupLibrary = keepSetupLibrary();
  } else if (earlier && PackageFiles::isKeptSetupLibrary(name, earlier->setupLibrary)) {
    std::string ignored; // the new package has none: the earlier one's is of no use now
    PackageFiles::removeFile(earlier->setupLibrary, &ignored);
  }
  record.files = installed;
  record.directories = createdFolders;
  if (earlier) {
    std::set<std::u16string> named;
    for (const auto &file : installed)
      named.insert(ce::foldCase(file));
    for (const auto &file : earlier->files)
      if (!named.count(ce::foldCase(file)) && exists(file))
        record.files.push_back(file);
    std::set<std::u16string> folders;
    for (const auto &folder : createdFolders)
      folders.insert(ce::foldCase(folder));
    for (const auto &folder : earlier->directories)
      if (folders.insert(ce::foldCase(folder)).second)
        record.directories.push_back(folder);
  }
  PackageFiles::sortDeepestFirst(record.directories);
  if (const DWORD written = record.write(); written != ERROR_SUCCESS)
    return Outcome::failed("cannot record the installation under HKEY_LOCAL_MACHINE\\" +
                           utf8(InstallationRecord::keyPath(name)) + ": " +
                           PackageFiles::errorText(written));

  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started);
  const std::size_t failed = failedFiles + failedShortcuts;
  if (!failedFolders.empty() || failed > 0)
    return Outcome::unsuccessful(
        "installed " + utf8(name) + " with failures: " +
        plural(failedFolders.size(), "folder", "folders") + " and " +
        plural(failed, "file", "files") + " could not be made; what was installed is recorded");
  out_ << "installed " << utf8(name) << ": " << plural(installed.size(), "file", "files") << " in "
       << elapsed.count() << " ms\n";
  return Outcome::success();
}

} // namespace ce::tool
