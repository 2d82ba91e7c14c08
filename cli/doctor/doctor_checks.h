#pragma once

#include <string>
#include <vector>

#include "cli/doctor/system_facts.h"
#include "cli/exit_status.h"
#include "texts/message_catalogue.h"

// One line of `doctor`: what was checked, its verdict, and the command that fixes it.
enum class Verdict { Ok, Failed, Warning, Skipped };

struct Check {
  std::string key;  // a fixed keyword for scripts: usb, driver, access, rule, holder, unit
  Verdict verdict = Verdict::Ok;
  std::wstring text;
  std::wstring fix;  // empty when nothing is to be done
};

// The checks of one unit and what they mean for an update: Success when it can be updated now,
// else the status `update` would end with (3 no node, 4 no access, 5 not ready, 8 busy).
struct UnitChecks {
  std::string hidDevice;  // empty for the "no unit on USB" line alone
  std::string nodePath;   // "/dev/hidraw0", empty without a node
  std::vector<Check> checks;
  ExitStatus status = ExitStatus::Success;
};

// Every check that reads the system only, for each unit seen (or the one line that none is).
// The identification, which talks to the unit, is added by the command where `status` allows.
std::vector<UnitChecks> JudgeSystem(const SystemFacts& facts, const UserFacts& user,
                                    const Catalogue& texts);
