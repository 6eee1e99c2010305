#include "boot_check.h"

#include <ce/core/device_profile.h>

#include <sqlite3.h>

namespace ce::host {
namespace {

namespace fs = std::filesystem;

// Closes the database however the check ends.
struct Database {
  sqlite3 *handle = nullptr;
  ~Database() { sqlite3_close_v2(handle); }
};

struct Statement {
  sqlite3_stmt *handle = nullptr;
  ~Statement() { sqlite3_finalize(handle); }
};

} // namespace

std::optional<std::string> BootCheck::problem(const fs::path &root) {
  std::string error;
  if (!DeviceProfile::load(root / "device.conf", &error))
    return error;
  return registryProblem(root / "registry.db");
}

std::optional<std::string> BootCheck::registryProblem(const fs::path &file) {
  std::error_code ec;
  if (!fs::exists(file, ec))
    return std::nullopt;
  const std::string damaged = "registry.db is damaged: ";
  if (!fs::is_regular_file(file, ec))
    return damaged + "it is not a file";
  Database db;
  if (sqlite3_open_v2(file.c_str(), &db.handle, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
    return damaged + (db.handle ? sqlite3_errmsg(db.handle) : "it cannot be opened");
  sqlite3_busy_timeout(db.handle, 5000);
  Statement check;
  if (sqlite3_prepare_v2(db.handle, "PRAGMA quick_check(1)", -1, &check.handle, nullptr) !=
      SQLITE_OK)
    return damaged + sqlite3_errmsg(db.handle);
  const int step = sqlite3_step(check.handle);
  if (step != SQLITE_ROW)
    return damaged + sqlite3_errmsg(db.handle);
  const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(check.handle, 0));
  std::string answer = text ? text : "";
  if (answer == "ok")
    return std::nullopt;
  for (std::size_t at = answer.find('\n'); at != std::string::npos; at = answer.find('\n', at))
    answer.replace(at, 1, "; ");
  return damaged + answer;
  return std::nullopt;
}

} // namespace ce::host
