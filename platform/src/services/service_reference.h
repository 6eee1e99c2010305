// The kernel object behind a service handle: it names a service and owns nothing, so closing the
// handle leaves the service running. The service lives either in the device's services host
// (reached over the host connection, or directly inside the host process) or, when no device
// host runs, in this process's own services host.
#pragma once

#include <ce/core/kernel_object.h>
#include <ce/host/services_host.h>

namespace ce {

class ServiceReference : public KernelObject {
public:
  ServiceReference(ServicesHost::ServiceId id, bool onDevice) : id_(id), onDevice_(onDevice) {}
  ServicesHost::ServiceId id() const { return id_; }
  bool onDevice() const { return onDevice_; }

private:
  const ServicesHost::ServiceId id_;
  const bool onDevice_;
};

} // namespace ce
