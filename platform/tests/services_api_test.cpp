// RegisterService, ActivateService, GetServiceHandle and DeregisterService as a program calls
// them, with the handles they give.
#include "services_fixture.h"

#include <ce/kernel.h>
#include <ce/services.h>

namespace {

using services_test::DeviceWithLibraries;
using Lines = std::vector<std::string>;

class ServicesApi : public DeviceWithLibraries {
protected:
  void SetUp() override {
    DeviceWithLibraries::SetUp();
    install("journal_a");
    install("journal_b");
    install("journal_c");
  }
  void TearDown() override {
    // The process's services outlive a test; stop what a failed test left running.
    for (const char16_t *name : {u"JNC0:", u"JNA0:", u"JNB0:", u"JNB1:"}) {
      WCHAR buffer[8];
      std::char_traits<char16_t>::copy(buffer, name, 6);
      HANDLE service = GetServiceHandle(buffer, nullptr, nullptr);
      if (service != INVALID_HANDLE_VALUE) {
        DeregisterService(service);
        CloseHandle(service);
      }
    }
    DeviceWithLibraries::TearDown();
  }
  HANDLE lookUp(const char16_t *name) {
    std::u16string copy(name);
    return GetServiceHandle(copy.data(), nullptr, nullptr);
  }
};

TEST_F(ServicesApi, HandlesNameTheServiceAndClosingOneLeavesItRunning) {
  HANDLE registered = RegisterService(u"JNA", 0, u"journal_a.dll", 4);
  ASSERT_NE(registered, nullptr);
  EXPECT_EQ(journal(), (Lines{"journal_a attach", "journal_a init 4"}));
  EXPECT_TRUE(CloseHandle(registered));

  HANDLE found = lookUp(u"JNA0:");
  ASSERT_NE(found, INVALID_HANDLE_VALUE);
  HANDLE again = lookUp(u"jna0:");
  ASSERT_NE(again, INVALID_HANDLE_VALUE);
  EXPECT_NE(found, again); // each call a handle of its own
  EXPECT_TRUE(journal().empty());

  EXPECT_TRUE(DeregisterService(found));
  EXPECT_EQ(journal(), (Lines{"journal_a deinit 104", "journal_a detach"}));
  EXPECT_EQ(lookUp(u"JNA0:"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
  EXPECT_FALSE(DeregisterService(again));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(CloseHandle(found));
  EXPECT_TRUE(CloseHandle(again));
  EXPECT_FALSE(DeregisterService(found)); // closed
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(ServicesApi, ActivationTwiceAnswers2404AndRegistrationIsTheFallback) {
  registerKey(u"Vireta", u"\\Windows\\journal_b.dll", u"JNB",
              {{u"Order", 255}, {u"Keep", 1}, {u"Index", 0}, {u"Context", 0}, {u"Flags", 2}});
  HANDLE first = ActivateService(u"Vireta", 0);
  ASSERT_NE(first, nullptr);
  SetLastError(0);
  EXPECT_EQ(ActivateService(u"Vireta", 0), nullptr);
  EXPECT_EQ(GetLastError(), 2404u);
  EXPECT_EQ(RegisterService(u"JNB", 0, u"journal_b.dll", 0), nullptr);
  EXPECT_EQ(GetLastError(), 2404u);
  HANDLE second = RegisterService(u"JNB", 1, u"journal_b.dll", 0);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(journal(), (Lines{"journal_b attach", "journal_b init 0", "journal_b init 0"}));

  EXPECT_EQ(ActivateService(u"Missing", 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(ActivateService(nullptr, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(RegisterService(nullptr, 0, u"journal_b.dll", 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  EXPECT_TRUE(DeregisterService(first));
  EXPECT_TRUE(DeregisterService(second));
  EXPECT_EQ(journal(), (Lines{"journal_b deinit 100", "journal_b deinit 100", "journal_b detach"}));
  CloseHandle(first);
  CloseHandle(second);
}

TEST_F(ServicesApi, GetServiceHandleCopiesTheLibraryName) {
  HANDLE registered = RegisterService(u"JNA", 0, u"journal_a.dll", 0);
  ASSERT_NE(registered, nullptr);
  WCHAR name[] = u"JNA0:";
  DWORD size = 0;
  HANDLE sized = GetServiceHandle(name, nullptr, &size);
  ASSERT_NE(sized, INVALID_HANDLE_VALUE);
  EXPECT_EQ(size, sizeof(u"journal_a.dll"));
  WCHAR small[4];
  size = sizeof small;
  EXPECT_EQ(GetServiceHandle(name, small, &size), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(size, sizeof(u"journal_a.dll"));
  WCHAR buffer[32];
  size = sizeof buffer;
  HANDLE filled = GetServiceHandle(name, buffer, &size);
  ASSERT_NE(filled, INVALID_HANDLE_VALUE);
  EXPECT_EQ(std::u16string(buffer), u"journal_a.dll");
  EXPECT_EQ(GetServiceHandle(name, buffer, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(GetServiceHandle(nullptr, nullptr, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_TRUE(DeregisterService(filled));
  for (HANDLE handle : {registered, sized, filled})
    EXPECT_TRUE(CloseHandle(handle));
  EXPECT_EQ(journal(), (Lines{"journal_a attach", "journal_a init 0", "journal_a deinit 100",
                              "journal_a detach"}));
}

TEST_F(ServicesApi, AServiceStartingUpMayCallTheServicesHost) {
  HANDLE a = RegisterService(u"JNA", 0, u"journal_a.dll", 0);
  ASSERT_NE(a, nullptr);
  HANDLE c = RegisterService(u"JNC", 0, u"journal_c.dll", 1);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(journal(), (Lines{"journal_a attach", "journal_a init 0", "journal_c attach",
                              "journal_c init 1", "journal_c query found"}));
  for (HANDLE service : {c, a}) {
    EXPECT_TRUE(DeregisterService(service));
    CloseHandle(service);
  }
}

TEST_F(ServicesApi, DeregisterRefusesHandlesOfOtherKinds) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  EXPECT_FALSE(DeregisterService(event));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(DeregisterService(nullptr));
  EXPECT_FALSE(DeregisterService(INVALID_HANDLE_VALUE));
  CloseHandle(event);
}

} // namespace
