// The kernel object behind a service handle: it names a service of the services host and owns
// nothing, so closing the handle leaves the service running.
#pragma once

#include "services/services_host.h"

#include <ce/core/kernel_object.h>

namespace ce {

class ServiceReference : public KernelObject {
public:
  explicit ServiceReference(ServicesHost::ServiceId id) : id_(id) {}
  ServicesHost::ServiceId id() const { return id_; }

private:
  const ServicesHost::ServiceId id_;
};

} // namespace ce
