#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "cli/console.h"
#include "cli/unit_bus.h"
#include "protocol/hid_transport.h"
#include "protocol/os_services.h"
#include "ui/message_catalogue.h"
#include "update/image_integrity.h"
#include "update/update_procedure.h"

// Keeps an interrupt from stopping an update unasked while it writes the ESC: raised from the
// lock stage to the end, it explains the risk at a first interrupt and asks the procedure to
// stop at a second one soon after.
class InterruptShield {
 public:
  virtual ~InterruptShield() = default;
  virtual void Raise() = 0;
  virtual void Lower() = 0;
  virtual const StopRequest& stop() const = 0;
};

// Everything a command works with, built once by the program's entry point.
struct CliContext {
  Console& console;
  const Catalogue& texts;
  UnitBus& bus;
  HidTransport& transport;  // the same bus, as the link sees it
  OsServices& os;
  InterruptShield& shield;
  CarriedFirmware firmware;  // the image and the digest the build recorded for it
  std::string udevRule;      // where the access rule for the unit's node is
};
