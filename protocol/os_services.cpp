#include "protocol/os_services.h"

namespace {

// The one binding; constant-initialised, so it is valid before any static constructor runs.
OsServices* bound = nullptr;

}  // namespace

void BindOsServices(OsServices* services) {
  bound = services;
}

void WaitMilliseconds(std::uint32_t milliseconds) {
  if (bound != nullptr) {
    bound->Wait(milliseconds);
  }
}

std::uint32_t LastOsError() {
  return bound != nullptr ? bound->LastOsError() : 0;
}
