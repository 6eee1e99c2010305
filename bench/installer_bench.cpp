// Package installation through the device tool: `device install` of the demo's test package
// (setup library loaded and called, three files copied, the record written) followed by
// `device uninstall`, on a device that is not booted; and the package manifest reader alone.
#include "../platform/src/packages/package_manifest.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

namespace fs = std::filesystem;

const fs::path kPackage = fs::path(CE_BINARY_DIR) / "demo-payload" / "test_package";

// Runs the device tool with its output thrown away; its exit code, -1 when it could not run.
int device(const std::vector<std::string> &args) {
  std::vector<char *> argv{const_cast<char *>(CE_BINARY_DIR "/bin/device")};
  for (const auto &arg : args)
    argv.push_back(const_cast<char *>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&quiet);
  if (spawned != 0)
    return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void BM_InstallAndUninstallTestPackage(benchmark::State &state) {
  if (!fs::exists(kPackage / "manifest.txt")) {
    state.SkipWithError("build demo_content first: the test package is missing");
    return;
  }
  char pattern[] = "/tmp/ce-install-bench-XXXXXX";
  const fs::path dir = ::mkdtemp(pattern);
  const std::string root = (dir / "device").string();
  if (device({"--device", root, "create"}) != 0) {
    state.SkipWithError("cannot create a device");
    return;
  }
  for (auto _ : state) {
    if (device({"--device", root, "install", kPackage.string()}) != 0 ||
        device({"--device", root, "uninstall", "Demo Package"}) != 0) {
      state.SkipWithError("install or uninstall failed");
      break;
    }
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
}
BENCHMARK(BM_InstallAndUninstallTestPackage)->Unit(benchmark::kMillisecond);

void BM_ParseManifest(benchmark::State &state) {
  std::string text = "name=Bench\ndirectory=\\Program Files\\Bench\nsetup=setup.dll\n";
  for (int i = 0; i < 200; ++i)
    text += "file=data/file" + std::to_string(i) + ".bin -> %INSTALLDIR%\\data\\file" +
            std::to_string(i) + ".bin\n";
  for (auto _ : state) {
    std::string error;
    benchmark::DoNotOptimize(ce::PackageManifest::parse(text, &error));
  }
  state.SetLabel("200 file lines");
}
BENCHMARK(BM_ParseManifest)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
