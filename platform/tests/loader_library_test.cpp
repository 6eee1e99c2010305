// LoadLibraryW, GetProcAddressW, FreeLibrary and GetModuleHandleW with real device libraries
// that record their DllMain calls in the device root's journal.
#include "services_fixture.h"

#include <ce/files.h>
#include <ce/kernel.h>
#include <ce/loader.h>

#include <set>

namespace {

using services_test::DeviceWithLibraries;
using Lines = std::vector<std::string>;

class LoaderTest : public DeviceWithLibraries {
protected:
  int answer(HMODULE module) {
    auto function = reinterpret_cast<int (*)()>(
        reinterpret_cast<void (*)()>(GetProcAddressW(module, u"Answer")));
    return function ? function() : -1;
  }
};

TEST_F(LoaderTest, DllMainBracketsTheLibrarysLifeAndStaleHandlesAreRefused) {
  install("journal_a");
  HMODULE module = LoadLibraryW(u"\\Windows\\journal_a.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(journal(), Lines{"journal_a attach"}); // DllMain already reaches its exports
  EXPECT_EQ(answer(module), 42);
  EXPECT_EQ(GetModuleHandleW(u"journal_a.dll"), module);
  EXPECT_EQ(GetModuleHandleW(u"\\WINDOWS\\JOURNAL_A"), module);

  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_EQ(journal(), Lines{"journal_a detach"});
  EXPECT_EQ(GetModuleHandleW(u"journal_a.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(GetProcAddressW(module, u"Answer"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(FreeLibrary(module));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(journal().empty());

  // Loaded again: a new attach and a handle never given before.
  HMODULE again = LoadLibraryW(u"\\Windows\\journal_a.dll");
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again, module);
  EXPECT_EQ(journal(), Lines{"journal_a attach"});
  EXPECT_EQ(GetProcAddressW(module, u"Answer"), nullptr);
  EXPECT_TRUE(FreeLibrary(again));
}

TEST_F(LoaderTest, EveryNameOfOneFileSharesOneModuleAndItsCount) {
  install("journal_a");
  std::filesystem::create_directories(root / "fs" / "Links");
  std::filesystem::create_symlink(root / "fs" / "Windows" / "journal_a.dll",
                                  root / "fs" / "Links" / "other.dll");
  const std::vector<std::u16string> names = {u"journal_a.dll",
                                             u"journal_a",
                                             u"\\Windows\\journal_a.dll",
                                             u"/windows/JOURNAL_A.DLL",
                                             u"Windows\\journal_a.dll",
                                             u"\\Links\\other.dll"};
  std::vector<HMODULE> modules;
  for (const auto &name : names) {
    modules.push_back(LoadLibraryW(name.c_str()));
    ASSERT_NE(modules.back(), nullptr) << ce::toUtf8(name);
    EXPECT_EQ(modules.back(), modules.front()) << ce::toUtf8(name);
  }
  EXPECT_EQ(journal(), Lines{"journal_a attach"});
  for (std::size_t i = 1; i < modules.size(); ++i)
    ASSERT_TRUE(FreeLibrary(modules[i]));
  EXPECT_TRUE(journal().empty()); // one reference left
  EXPECT_EQ(answer(modules.front()), 42);
  ASSERT_TRUE(FreeLibrary(modules.front()));
  EXPECT_EQ(journal(), Lines{"journal_a detach"});
}

TEST_F(LoaderTest, BareNamesAreLookedForInWindowsOnly) {
  install("journal_b", "Program Files/Tools/journal_b.dll");
  // The test program does not live inside fs/, so it has no program folder to search.
  EXPECT_EQ(LoadLibraryW(u"journal_b.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  HMODULE module = LoadLibraryW(u"\\Program Files\\Tools\\journal_b.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(GetModuleHandleW(u"journal_b.dll"), module);
  EXPECT_TRUE(FreeLibrary(module));
}

TEST_F(LoaderTest, ARefusingDllMainLeavesNothingLoaded) {
  for (const std::string library : {"refuse_attach", "throw_attach"}) {
    install(library);
    const std::u16string name = ce::toUtf16(library + ".dll");
    for (int attempt = 0; attempt < 2; ++attempt) {
      SetLastError(0);
      EXPECT_EQ(LoadLibraryW(name.c_str()), nullptr) << library;
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DLL_INIT_FAILED)) << library;
      EXPECT_EQ(GetModuleHandleW(name.c_str()), nullptr) << library;
    }
    // Each attempt attached anew; a refused attach gets no detach.
    EXPECT_EQ(journal(), (Lines{library + " attach", library + " attach"}));
  }
}

TEST_F(LoaderTest, ProcAddressesComeFromTheModuleItselfOnly) {
  install("plain");
  HMODULE module = LoadLibraryW(u"plain.dll");
  ASSERT_NE(module, nullptr); // no DllMain is needed
  EXPECT_EQ(answer(module), 42);
  EXPECT_EQ(GetProcAddressW(module, u"DllMain"), nullptr);
  // CreateThread is defined by the platform library this module links against, not by it.
  EXPECT_EQ(GetProcAddressW(module, u"CreateThread"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  EXPECT_EQ(GetProcAddressW(module, reinterpret_cast<LPCWSTR>(std::uintptr_t{1})), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  EXPECT_EQ(GetProcAddressW(module, u""), nullptr);
  EXPECT_EQ(GetProcAddressW(module, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_TRUE(journal().empty());
}

TEST_F(LoaderTest, DllMainMayLoadAndFreeOtherLibraries) {
  install("nesting");
  install("journal_b");
  HMODULE module = LoadLibraryW(u"nesting.dll");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(journal(), (Lines{"nesting attach", "journal_b attach", "nesting nested loaded"}));
  HMODULE nested = GetModuleHandleW(u"journal_b");
  ASSERT_NE(nested, nullptr);
  EXPECT_TRUE(FreeLibrary(module));
  EXPECT_EQ(journal(), (Lines{"journal_b detach", "nesting detach"}));
  EXPECT_EQ(GetModuleHandleW(u"journal_b"), nullptr);
}

TEST_F(LoaderTest, ThreadsLoadingOneLibraryAttachItOnce) {
  install("journal_a");
  constexpr int threads = 8;
  std::vector<HMODULE> modules(threads);
  std::vector<HANDLE> handles;
  struct Work {
    HMODULE *slot;
  };
  std::vector<Work> work(threads);
  for (int i = 0; i < threads; ++i) {
    work[i].slot = &modules[i];
    handles.push_back(CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
          auto *item = static_cast<Work *>(parameter);
          *item->slot = LoadLibraryW(u"journal_a.dll");
          return 0;
        },
        &work[i], 0, nullptr));
  }
  for (HANDLE handle : handles) {
    EXPECT_EQ(WaitForSingleObject(handle, INFINITE), WAIT_OBJECT_0);
    CloseHandle(handle);
  }
  for (HMODULE module : modules)
    EXPECT_EQ(module, modules.front());
  EXPECT_EQ(journal(), Lines{"journal_a attach"});
  for (HMODULE module : modules)
    EXPECT_TRUE(FreeLibrary(module));
  EXPECT_EQ(journal(), Lines{"journal_a detach"});
}

} // namespace

namespace {

// A program living inside fs/ searches \Windows first, then its own folder.
class LoaderFromProgram : public DeviceWithLibraries {
protected:
  // Runs the probe program from \Program Files\Probe with this device root; its output line.
  std::string probe(const std::string &library) {
    const std::string command = "CE_DEVICE='" + root.string() + "' '" +
                                (root / "fs" / "Program Files" / "Probe" / "probe.exe").string() +
                                "' '" + library + "' 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
      return "popen failed";
    char line[256] = {};
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    pclose(pipe);
    std::string text = read ? line : "";
    if (!text.empty() && text.back() == '\n')
      text.pop_back();
    return text;
  }
};

TEST_F(LoaderFromProgram, WindowsComesBeforeTheProgramsFolder) {
  std::filesystem::create_directories(root / "fs" / "Program Files" / "Probe");
  std::filesystem::copy_file(std::filesystem::path(CE_TEST_LIBRARY_DIR) / "loader_probe.exe",
                             root / "fs" / "Program Files" / "Probe" / "probe.exe");
  install("journal_a", "Windows/shared.dll");
  install("journal_b", "Program Files/Probe/shared.dll");
  EXPECT_EQ(probe("shared.dll"), "0 42");
  EXPECT_EQ(journal(), (Lines{"journal_a attach", "journal_a detach"}));

  std::filesystem::remove(root / "fs" / "Windows" / "shared.dll");
  EXPECT_EQ(probe("SHARED"), "0 42");
  EXPECT_EQ(journal(), (Lines{"journal_b attach", "journal_b detach"}));

  EXPECT_EQ(probe("other.dll"), std::to_string(ERROR_MOD_NOT_FOUND));
}

} // namespace
