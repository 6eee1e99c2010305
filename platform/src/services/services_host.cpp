#include <ce/host/services_host.h>

#include "kernel/system_error_text.h"
#include "services/library_loader.h"
#include "services/service_registration.h"

#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/loader.h>
#include <ce/services.h>

#include <algorithm>
#include <limits>

namespace ce {

namespace {

void setError(DWORD *error, DWORD code) {
  if (error)
    *error = code;
}

bool isAsciiAlphanumeric(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

std::string describe(DWORD error) {
  std::string text = "error " + std::to_string(error);
  if (const char16_t *message = systemErrorText(error))
    text += " (" + toUtf8(message) + ")";
  return text;
}

std::string quoted(std::u16string_view text) { return "\"" + toUtf8(text) + "\""; }

} // namespace

namespace {

std::mutex deviceHostMutex;
std::shared_ptr<ServicesHost> deviceHostInstance;

} // namespace

std::shared_ptr<ServicesHost> ServicesHost::deviceHost() {
  std::lock_guard lock(deviceHostMutex);
  return deviceHostInstance;
}

void ServicesHost::setDeviceHost(std::shared_ptr<ServicesHost> host) {
  std::lock_guard lock(deviceHostMutex);
  deviceHostInstance = std::move(host);
}

ServicesHost::ServicesHost(Log log) : log_(std::move(log)) {}

ServicesHost::~ServicesHost() { shutdown(); }

void ServicesHost::log(const std::string &line) const {
  if (!log_)
    return;
  std::lock_guard lock(logMutex_);
  log_(line);
}

std::optional<std::u16string> ServicesHost::deviceName(std::u16string_view prefix, DWORD index) {
  if (prefix.size() != 3 || !std::all_of(prefix.begin(), prefix.end(), isAsciiAlphanumeric) ||
      index > 9)
    return std::nullopt;
  std::u16string name(prefix);
  name += static_cast<char16_t>(u'0' + index);
  name += u':';
  return name;
}

ServicesHost::ServiceId ServicesHost::start(std::u16string_view prefix, DWORD index,
                                            std::u16string_view dll, DWORD context,
                                            std::u16string_view keyName, DWORD *error) {
  const auto name = deviceName(prefix, index);
  if (!name || dll.empty()) {
    setError(error, ERROR_INVALID_PARAMETER);
    return 0;
  }
  ServiceId id = 0;
  {
    // The name is taken from here on, so two callers cannot load the same service at once.
    std::lock_guard lock(mutex_);
    for (const auto &[otherId, other] : services_) {
      if (equalsIgnoreCase(other.info.name, *name)) {
        setError(error, ERROR_DEVICE_IN_USE);
        return 0;
      }
    }
    id = ++lastId_;
    Service &service = services_[id];
    service.info.id = id;
    service.info.name = *name;
    service.info.dll = dll;
    service.info.keyName = keyName;
  }
  auto forget = [&](DWORD code) {
    std::lock_guard lock(mutex_);
    services_.erase(id);
    setError(error, code);
    return ServiceId{0};
  };

  LibraryLoader &loader = LibraryLoader::instance();
  DWORD code = ERROR_SUCCESS;
  HMODULE module = loader.load(dll, &code);
  if (!module)
    return forget(code);
  const std::string prefixText = toUtf8(prefix);
  auto *init = reinterpret_cast<SERVICE_INIT_FUNCTION>(
      loader.procAddress(module, prefixText + "_Init", &code));
  if (!init) {
    loader.free(module, nullptr);
    return forget(ERROR_PROC_NOT_FOUND);
  }
  void *deinit = loader.procAddress(module, prefixText + "_Deinit", nullptr);
  DWORD instance = 0;
  try {
    instance = init(context);
  } catch (...) {
    instance = 0; // a service whose start throws did not start
  }
  if (instance == 0) {
    loader.free(module, nullptr);
    return forget(ERROR_DLL_INIT_FAILED);
  }

  std::lock_guard lock(mutex_);
  Service &service = services_[id];
  service.state = State::Running;
  service.module = module;
  service.deinit = deinit;
  service.info.instance = instance;
  service.info.devicePath = loader.devicePath(module).value_or(std::u16string(dll));
  return id;
}

ServicesHost::ServiceId ServicesHost::registerService(std::u16string_view prefix, DWORD index,
                                                      std::u16string_view dll, DWORD context,
                                                      DWORD *error) {
  DWORD code = ERROR_SUCCESS;
  const ServiceId id = start(prefix, index, dll, context, {}, &code);
  const std::string what =
      "service " + quoted(prefix) + " " + std::to_string(index) + " from " + quoted(dll);
  if (id == 0) {
    log(what + " not registered: " + describe(code));
    setError(error, code);
  } else {
    log(what + " registered as " + toUtf8(*deviceName(prefix, index)));
  }
  return id;
}

ServicesHost::ServiceId ServicesHost::activateService(std::u16string_view keyName, DWORD *error) {
  DWORD code = ERROR_SUCCESS;
  auto registration = ServiceRegistration::read(keyName, &code);
  const ServiceId id = registration
                           ? start(registration->prefix, registration->index, registration->dll,
                                   registration->context, keyName, &code)
                           : 0;
  if (id == 0) {
    log("service key " + quoted(keyName) + " not activated: " + describe(code));
    setError(error, code);
  } else {
    log("service key " + quoted(keyName) + " activated as " +
        toUtf8(*deviceName(registration->prefix, registration->index)) + " from " +
        quoted(registration->dll));
  }
  return id;
}

bool ServicesHost::deregisterService(ServiceId id, DWORD *error) {
  Service service;
  {
    std::lock_guard lock(mutex_);
    auto it = services_.find(id);
    if (it == services_.end() || it->second.state != State::Running) {
      setError(error, ERROR_INVALID_HANDLE);
      return false;
    }
    // Still holds its name while it stops: a new start of the same name waits for the end.
    it->second.state = State::Stopping;
    service = it->second;
  }
  if (service.deinit) {
    try {
      reinterpret_cast<SERVICE_DEINIT_FUNCTION>(service.deinit)(service.info.instance);
    } catch (...) {
      // The service goes whatever its _Deinit did.
    }
  }
  LibraryLoader::instance().free(service.module, nullptr);
  {
    std::lock_guard lock(mutex_);
    services_.erase(id);
  }
  log("service " + toUtf8(service.info.name) + " deregistered");
  return true;
}

std::optional<ServicesHost::ServiceInfo> ServicesHost::find(std::u16string_view deviceName) const {
  std::u16string wanted(deviceName);
  if (wanted.empty() || wanted.back() != u':')
    wanted += u':';
  std::lock_guard lock(mutex_);
  for (const auto &[id, service] : services_)
    if (service.state == State::Running && equalsIgnoreCase(service.info.name, wanted))
      return service.info;
  return std::nullopt;
}

std::size_t ServicesHost::loadBootServices() {
  std::vector<ServiceRegistration> registrations;
  for (const auto &keyName : ServiceRegistration::keyNames()) {
    DWORD code = ERROR_SUCCESS;
    if (auto registration = ServiceRegistration::read(keyName, &code))
      registrations.push_back(std::move(*registration));
    else
      log("boot: service key " + quoted(keyName) + " skipped: " + describe(code));
  }
  // Stable: equal orders keep the keys' creation order.
  std::stable_sort(registrations.begin(), registrations.end(), [](const auto &a, const auto &b) {
    const auto last = std::numeric_limits<std::uint64_t>::max();
    return (a.order ? std::uint64_t{*a.order} : last) < (b.order ? std::uint64_t{*b.order} : last);
  });

  std::size_t loaded = 0;
  for (const auto &registration : registrations) {
    const std::string what = "boot: service key " + quoted(registration.keyName);
    if (registration.flags & DEVFLAGS_NOLOAD) {
      log(what + " not loaded at boot (flags " + std::to_string(registration.flags) + ")");
      continue;
    }
    DWORD code = ERROR_SUCCESS;
    const ServiceId id = start(registration.prefix, registration.index, registration.dll,
                               registration.context, registration.keyName, &code);
    if (id == 0) {
      log(what + " failed: " + describe(code));
      continue;
    }
    ++loaded;
    log(what + " loaded as " + toUtf8(*deviceName(registration.prefix, registration.index)) +
        " from " + quoted(registration.dll));
  }
  return loaded;
}

void ServicesHost::shutdown() {
  for (;;) {
    ServiceId newest = 0;
    {
      std::lock_guard lock(mutex_);
      for (auto it = services_.rbegin(); it != services_.rend(); ++it) {
        if (it->second.state == State::Running) {
          newest = it->first;
          break;
        }
      }
    }
    if (newest == 0)
      return;
    deregisterService(newest, nullptr); // one stopped by another thread meanwhile is gone too
  }
}

std::vector<ServicesHost::ServiceInfo> ServicesHost::services() const {
  std::vector<ServiceInfo> result;
  std::lock_guard lock(mutex_);
  for (const auto &[id, service] : services_)
    if (service.state == State::Running)
      result.push_back(service.info);
  return result;
}

} // namespace ce
