#pragma once

#include <cstdint>
#include <string_view>

#include "protocol/result_code.h"
#include "protocol/unit_link.h"
#include "protocol/waiter.h"
#include "update/image_integrity.h"
#include "update/progress_window.h"
#include "update/update_guard.h"
#include "update/update_procedure.h"

// The two questions before an update, in the order they are asked.
enum class Confirmation {
  Warning,    // do not interrupt the update: asked before every update
  Downgrade,  // the installed firmware is not older than the carried one: asked only then
};

// How a front end asks the user: the dialog's message boxes, the terminal's questions, the
// page's dialogs.
class UpdatePrompts {
 public:
  virtual ~UpdatePrompts() = default;
  // True when the user agrees. May be modal: device events can change the link meanwhile.
  virtual bool Confirm(Confirmation question) = 0;
};

// How an update asked for by the user ended.
enum class SessionEnd {
  Done,          // the image is in the ESC; the link stays open and records the new version
  NoUnit,        // no unit was open: nothing asked or sent
  ImageMissing,  // the build carries no image: nothing asked or sent
  ImageDamaged,  // the carried image is not the one the build recorded: nothing asked or sent
  Declined,      // a question was not answered yes: nothing sent
  Stopped,       // the user stopped it between two requests; the unit was abandoned
  Failed,        // a stage failed; the unit was abandoned
};

struct SessionOutcome {
  SessionEnd end = SessionEnd::Done;
  // Failed: the stage that failed. Stopped: the stage that was not begun.
  UpdateStage stage = UpdateStage::Lock;
  // Failed: the stage's result code and the OS error of the call that failed it.
  RequestResult result;

  bool operator==(const SessionOutcome&) const = default;
};

// Told what an update did once the questions were answered yes, for a record of it: the unit
// and image it began with, each stage (StageObserver), and how it ended.
class SessionObserver : public StageObserver {
 public:
  // Before the lock stage; `link` holds the unit's path and identification as they were then.
  virtual void UpdateBegun(const UnitLink& link, const CarriedFirmware& firmware) = 0;
  // Once, after UpdateBegun, whatever the outcome.
  virtual void UpdateEnded(const SessionOutcome& outcome) = 0;
};

// The whole of one update as every front end runs it: the image check, the warning, the
// downgrade question, the procedure, and one outcome. A front end only asks (UpdatePrompts) and
// shows the outcome in its own words.
class UpdateSession {
 public:
  UpdateSession(UnitLink& link, ProgressWindow& progress, Waiter& waiter,
                const CarriedFirmware& firmware)
      : link_(link), procedure_(link, progress, waiter), firmware_(firmware) {}

  // `guard`, where the front end has one, is raised from the system lock to the end. After a
  // failure or a stop the link is closed without any closing request: the unit is abandoned in
  // whatever state the failure left it. `observer`, where given, hears of every update that
  // passed the questions.
  SessionOutcome Run(UpdatePrompts& prompts, std::wstring_view progressTitle,
                     UpdateGuard* guard = nullptr, SessionObserver* observer = nullptr);

 private:
  bool Confirmed(UpdatePrompts& prompts);
  SessionOutcome RunProcedure(UpdateGuard* guard, std::wstring_view progressTitle,
                              SessionObserver* observer);

  UnitLink& link_;
  UpdateProcedure procedure_;
  CarriedFirmware firmware_;
};
