// The services host with real service libraries: start and stop order, names, registration keys
// and the boot pass, as its log and the libraries' journal show them.
#include "services_fixture.h"

#include <ce/host/services_host.h>
#include <ce/kernel.h>
#include <ce/loader.h>
#include <ce/services.h>

#include <algorithm>
#include <atomic>
#include <thread>

namespace {

using services_test::DeviceWithLibraries;
using Lines = std::vector<std::string>;
using ce::ServicesHost;

class ServicesHostTest : public DeviceWithLibraries {
protected:
  void SetUp() override {
    DeviceWithLibraries::SetUp();
    for (const char *library : {"journal_a", "journal_b", "journal_d", "refuse_init", "plain"})
      install(library);
  }
  ServicesHost::Log logInto() {
    return [this](const std::string &line) { logged.push_back(line); };
  }
  bool loggedLine(const std::string &part) const {
    return std::any_of(logged.begin(), logged.end(), [&](const std::string &line) {
      return line.find(part) != std::string::npos;
    });
  }
  std::vector<std::u16string> names(const ServicesHost &host) const {
    std::vector<std::u16string> result;
    for (const auto &service : host.services())
      result.push_back(service.name);
    return result;
  }

  Lines logged;
};

TEST_F(ServicesHostTest, InitAfterAttachDeinitBeforeDetach) {
  ServicesHost host(logInto());
  DWORD error = 0;
  const auto id = host.registerService(u"JNA", 3, u"journal_a.dll", 7, &error);
  ASSERT_NE(id, 0u) << error;
  EXPECT_EQ(journal(), (Lines{"journal_a attach", "journal_a init 7"}));
  const auto found = host.find(u"jna3:");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->id, id);
  EXPECT_EQ(found->name, u"JNA3:");
  EXPECT_EQ(found->devicePath, u"\\Windows\\journal_a.dll");
  EXPECT_EQ(found->instance, 107u);
  EXPECT_TRUE(host.find(u"JNA3"));
  EXPECT_FALSE(host.find(u"JNA0:"));

  EXPECT_TRUE(host.deregisterService(id, &error));
  EXPECT_EQ(journal(), (Lines{"journal_a deinit 107", "journal_a detach"}));
  EXPECT_FALSE(host.find(u"JNA3:"));
  EXPECT_EQ(GetModuleHandleW(u"journal_a.dll"), nullptr);
  EXPECT_FALSE(host.deregisterService(id, &error));
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(loggedLine("registered as JNA3:"));
  EXPECT_TRUE(loggedLine("JNA3: deregistered"));
}

TEST_F(ServicesHostTest, ANameIsLoadedOnceAndIdsAreNeverReused) {
  ServicesHost host(logInto());
  DWORD error = 0;
  const auto first = host.registerService(u"JNA", 0, u"journal_a.dll", 0, &error);
  ASSERT_NE(first, 0u);
  // Same name, whatever library or case: in use.
  EXPECT_EQ(host.registerService(u"JNA", 0, u"journal_a.dll", 0, &error), 0u);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_DEVICE_IN_USE));
  EXPECT_EQ(host.registerService(u"jna", 0, u"journal_b.dll", 0, &error), 0u);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_DEVICE_IN_USE));
  // Another index is another service of the same library, which is loaded once.
  const auto second = host.registerService(u"JNA", 1, u"\\Windows\\journal_a.dll", 5, &error);
  ASSERT_NE(second, 0u);
  EXPECT_EQ(journal(), (Lines{"journal_a attach", "journal_a init 0", "journal_a init 5"}));
  EXPECT_EQ(names(host), (std::vector<std::u16string>{u"JNA0:", u"JNA1:"}));

  ASSERT_TRUE(host.deregisterService(first, &error));
  EXPECT_EQ(journal(), Lines{"journal_a deinit 100"}); // still loaded for JNA1:
  const auto third = host.registerService(u"JNA", 0, u"journal_a.dll", 0, &error);
  ASSERT_NE(third, 0u);
  EXPECT_NE(third, first);
  EXPECT_FALSE(host.deregisterService(first, &error)); // the old id does not reach the new one
  EXPECT_TRUE(host.find(u"JNA0:"));
}

TEST_F(ServicesHostTest, FailedStartsLeaveNothingLoaded) {
  ServicesHost host(logInto());
  DWORD error = 0;
  EXPECT_EQ(host.registerService(u"RFI", 0, u"refuse_init.dll", 0, &error), 0u);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_DLL_INIT_FAILED));
  EXPECT_EQ(journal(), (Lines{"refuse_init attach", "refuse_init init 0", "refuse_init detach"}));
  // The library lacks the entry point for this prefix.
  EXPECT_EQ(host.registerService(u"XYZ", 0, u"plain.dll", 0, &error), 0u);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  EXPECT_EQ(host.registerService(u"JNA", 0, u"missing.dll", 0, &error), 0u);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  for (auto [prefix, index] : {std::pair{u"JN", 0u}, std::pair{u"JNAA", 0u}, std::pair{u"J:A", 0u},
                               std::pair{u"JNA", 10u}, std::pair{u"", 0u}}) {
    EXPECT_EQ(host.registerService(prefix, index, u"journal_a.dll", 0, &error), 0u);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
  EXPECT_TRUE(host.services().empty());
  EXPECT_EQ(GetModuleHandleW(u"plain.dll"), nullptr);
  EXPECT_EQ(GetModuleHandleW(u"refuse_init.dll"), nullptr);
  // The name of a failed start is free again.
  EXPECT_NE(host.registerService(u"JNA", 0, u"journal_a.dll", 0, &error), 0u);
  EXPECT_TRUE(loggedLine("not registered: error 1114"));
}

TEST_F(ServicesHostTest, ActivationReadsTheRegistrationKey) {
  ServicesHost host(logInto());
  // Strings stored without a terminating zero, as the registering programs write them.
  registerKey(u"Alpha", u"\\Windows\\journal_a.dll", u"JNA", {{u"Index", 2}, {u"Context", 9}});
  DWORD error = 0;
  const auto id = host.activateService(u"alpha", &error);
  ASSERT_NE(id, 0u) << error;
  EXPECT_EQ(journal(), (Lines{"journal_a attach", "journal_a init 9"}));
  ASSERT_TRUE(host.find(u"JNA2:"));
  EXPECT_EQ(host.find(u"JNA2:")->keyName, u"alpha");
  EXPECT_EQ(host.activateService(u"Alpha", &error), 0u);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_DEVICE_IN_USE));
  EXPECT_TRUE(journal().empty());

  EXPECT_EQ(host.activateService(u"Nothing", &error), 0u);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(host.activateService(u"Alpha\\Deeper", &error), 0u);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  registerKey(u"NoPrefix", u"journal_b.dll", u"");
  EXPECT_EQ(host.activateService(u"NoPrefix", &error), 0u);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_DATA));
  registerKey(u"TextIndex", u"journal_b.dll", u"JNB");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Services\\TextIndex", 0, 0, &key), ERROR_SUCCESS);
  RegSetValueExW(key, u"Index", 0, REG_SZ, reinterpret_cast<const BYTE *>(u"1"), 2);
  RegCloseKey(key);
  EXPECT_EQ(host.activateService(u"TextIndex", &error), 0u);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_INVALID_DATA));
  EXPECT_TRUE(journal().empty());
  EXPECT_TRUE(loggedLine("\"Nothing\" not activated: error 2"));
}

TEST_F(ServicesHostTest, BootLoadsByOrderSkipsNoLoadAndStopsInReverse) {
  registerKey(u"Late", u"journal_a.dll", u"JNA", {{u"Order", 300}});
  registerKey(u"Unordered", u"journal_d.dll", u"JND");
  registerKey(u"Early", u"journal_b.dll", u"JNB",
              {{u"Order", 10}, {u"Flags", DEVFLAGS_LOADLIBRARY}});
  registerKey(u"Held", u"plain.dll", u"PLN", {{u"Order", 1}, {u"Flags", DEVFLAGS_NOLOAD}});
  registerKey(u"Broken", u"missing.dll", u"MIS", {{u"Order", 5}});
  registerKey(u"AlsoLate", u"refuse_init.dll", u"RFI", {{u"Order", 300}});
  {
    ServicesHost host(logInto());
    EXPECT_EQ(host.loadBootServices(), 3u);
    // Equal orders keep the keys' creation order; a key without an Order comes last.
    EXPECT_EQ(journal(), (Lines{"journal_b attach", "journal_b init 0", "journal_a attach",
                                "journal_a init 0", "refuse_init attach", "refuse_init init 0",
                                "refuse_init detach", "journal_d attach", "journal_d init 0"}));
    EXPECT_EQ(names(host), (std::vector<std::u16string>{u"JNB0:", u"JNA0:", u"JND0:"}));
    EXPECT_TRUE(loggedLine("\"Held\" not loaded at boot"));
    EXPECT_TRUE(loggedLine("\"Broken\" failed: error 126"));
    EXPECT_TRUE(loggedLine("\"AlsoLate\" failed: error 1114"));
    EXPECT_TRUE(loggedLine("\"Late\" loaded as JNA0:"));
    // Flagged not to load at boot, but an explicit activation loads it... when it has an Init.
    DWORD error = 0;
    EXPECT_EQ(host.activateService(u"Held", &error), 0u);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  }
  EXPECT_EQ(journal(), (Lines{"journal_d deinit 100", "journal_d detach", "journal_a deinit 100",
                              "journal_a detach", "journal_b deinit 100", "journal_b detach"}));
}

TEST_F(ServicesHostTest, BootWithoutServicesKeyLoadsNothing) {
  ServicesHost host(logInto());
  EXPECT_EQ(host.loadBootServices(), 0u);
  EXPECT_TRUE(logged.empty());
}

TEST_F(ServicesHostTest, RacingStartsOfOneNameLoadItOnce) {
  ServicesHost host;
  constexpr int threads = 6;
  std::atomic<int> started{0}, inUse{0};
  std::vector<std::thread> racers;
  for (int i = 0; i < threads; ++i)
    racers.emplace_back([&] {
      DWORD error = 0;
      if (host.registerService(u"JNA", 0, u"journal_a.dll", 0, &error) != 0)
        ++started;
      else if (error == ERROR_DEVICE_IN_USE)
        ++inUse;
    });
  for (auto &racer : racers)
    racer.join();
  EXPECT_EQ(started.load(), 1);
  EXPECT_EQ(inUse.load(), threads - 1);
  EXPECT_EQ(journal(), (Lines{"journal_a attach", "journal_a init 0"}));
}

} // namespace
