#pragma once

#include <string>
#include <vector>

#include "cli/text_console.h"
#include "cli/unit_bus.h"
#include "platform/posix/system_tree.h"
#include "protocol/claiming_transport.h"
#include "protocol/waiter.h"
#include "texts/message_catalogue.h"
#include "update/image_integrity.h"
#include "update/update_guard.h"
#include "update/update_record.h"

// Where the access rule for the unit's node is looked for, and the node as the system shows it.
class AccessAdvice {
 public:
  virtual ~AccessAdvice() = default;
  // What a user refused at `path` can do, in the catalogue's words: the node's owner, group and
  // mode, and whether the rule that grants it is installed.
  virtual std::wstring Explain(const std::string& path, const Catalogue& texts) const = 0;
};

// Everything a command works with, built once by the program's entry point.
struct CliContext {
  TextConsole& console;
  const Catalogue& texts;
  UnitBus& bus;
  // The same bus as the link sees it: every unit opened through it is claimed first, and a unit
  // another program holds is never sent anything.
  ClaimingTransport& transport;
  Waiter& waiter;
  // Keeps an interrupt from stopping an update unasked while it writes the ESC: raised from the
  // lock stage to the end, it explains the risk at a first interrupt and asks the update to stop
  // at a second one soon after.
  UpdateGuard& guard;
  CarriedFirmware firmware;  // the image and the digest the build recorded for it
  bool standinImage;         // the build carries the stand-in test image
  const AccessAdvice& access;
  // What doctor reads of the system (/sys, /proc, /dev, the udev rules), and where the packaged
  // rule is installed when it is.
  const SystemTree& system;
  std::vector<std::string> ruleFiles;
  // The record of each update: the time of day it is stamped with, where its line goes, and the
  // file `history` reads (empty when there is no place for it).
  WallClock& wallClock;
  UpdateRecordSink& records;
  std::string recordPath;
};
