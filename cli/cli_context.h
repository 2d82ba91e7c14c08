#pragma once

#include <string>

#include "cli/unit_bus.h"
#include "platform/posix/console.h"
#include "protocol/hid_transport.h"
#include "protocol/waiter.h"
#include "texts/message_catalogue.h"
#include "update/image_integrity.h"
#include "update/update_guard.h"

// Everything a command works with, built once by the program's entry point.
struct CliContext {
  Console& console;
  const Catalogue& texts;
  UnitBus& bus;
  HidTransport& transport;  // the same bus, as the link sees it
  Waiter& waiter;
  // Keeps an interrupt from stopping an update unasked while it writes the ESC: raised from the
  // lock stage to the end, it explains the risk at a first interrupt and asks the update to stop
  // at a second one soon after.
  UpdateGuard& guard;
  CarriedFirmware firmware;  // the image and the digest the build recorded for it
  std::string udevRule;      // where the access rule for the unit's node is
};
