// The services host: service libraries loaded by prefix and index, named "<PREFIX><index>:".
// <ce/services.h> describes what its callers see; this class runs inside the device host and
// answers the platform calls of every process.
//
// Services are known by a ServiceId: a number counted up from 1 that is never reused while this
// object lives, so a stale id never reaches a later service of the same name. Each operation
// is logged, one line each, through the callback given at construction; calls of the callback
// never overlap, even when several threads use the host at once.
#pragma once

#include <ce/export.h>

#include <ce/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

CE_EXPORT_BEGIN

namespace ce {

struct ServiceRegistration;

class ServicesHost {
public:
  using ServiceId = std::uint64_t;
  using Log = std::function<void(const std::string &line)>;

  struct ServiceInfo {
    ServiceId id = 0;
    std::u16string name;       // "SMC0:"
    std::u16string dll;        // as registered
    std::u16string devicePath; // the library's file
    std::u16string keyName;    // the registration key, empty for RegisterService
    DWORD instance = 0;        // what <PREFIX>_Init answered
  };

  explicit ServicesHost(Log log = {});
  // Deregisters what is still loaded (shutdown()).
  ~ServicesHost();
  ServicesHost(const ServicesHost &) = delete;
  ServicesHost &operator=(const ServicesHost &) = delete;

  // 0 on failure, with the code in *error (the codes of <ce/services.h>).
  ServiceId registerService(std::u16string_view prefix, DWORD index, std::u16string_view dll,
                            DWORD context, DWORD *error);
  ServiceId activateService(std::u16string_view keyName, DWORD *error);
  bool deregisterService(ServiceId id, DWORD *error);
  // The loaded service of that name ("SMC0:" or "SMC0", any case), if there is one.
  std::optional<ServiceInfo> find(std::u16string_view deviceName) const;

  // Loads every service registered under HKEY_LOCAL_MACHINE\Services by rising Order, except
  // those flagged DEVFLAGS_NOLOAD; returns how many were loaded. Failures are logged and skipped.
  std::size_t loadBootServices();
  // Deregisters every loaded service, the last loaded first.
  void shutdown();

  // The loaded services in the order they were loaded.
  std::vector<ServiceInfo> services() const;

  // "<PREFIX><index>:" for a prefix of three ASCII letters or digits and an index of 0 to 9.
  static std::optional<std::u16string> deviceName(std::u16string_view prefix, DWORD index);

  // The device's services host when this process is the device host (the platform calls of
  // the service libraries it loads go straight to it); null in every other process.
  static std::shared_ptr<ServicesHost> deviceHost();
  static void setDeviceHost(std::shared_ptr<ServicesHost> host);

private:
  enum class State { Starting, Running, Stopping };
  struct Service {
    ServiceInfo info;
    State state = State::Starting;
    HMODULE module = nullptr;
    void *deinit = nullptr;
  };

  ServiceId start(std::u16string_view prefix, DWORD index, std::u16string_view dll, DWORD context,
                  std::u16string_view keyName, DWORD *error);
  void log(const std::string &line) const;

  Log log_;
  mutable std::mutex logMutex_;
  mutable std::mutex mutex_;
  std::map<ServiceId, Service> services_; // ids rise, so this is load order
  ServiceId lastId_ = 0;
};

} // namespace ce
CE_EXPORT_END
