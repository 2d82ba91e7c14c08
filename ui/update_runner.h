#pragma once

#include <cstdint>
#include <span>

#include "protocol/os_services.h"
#include "protocol/unit_link.h"
#include "ui/dialog_view.h"
#include "ui/error_reporter.h"
#include "ui/message_catalogue.h"
#include "ui/version_panel.h"
#include "update/image_integrity.h"
#include "update/update_procedure.h"

// What the Update button does: the checks and the two questions before an update, the update
// itself, and its outcome shown in the dialog.
class UpdateRunner {
 public:
  struct Parts {
    DialogView& view;
    UnitLink& link;
    const Catalogue& texts;
    VersionPanel& panel;
    ErrorReporter& reporter;
    UpdateProcedure& procedure;
    OsServices& os;
  };

  UpdateRunner(const Parts& parts, const CarriedFirmware& firmware)
      : parts_(parts), firmware_(firmware) {}

  void Run();

 private:
  bool Confirmed();

  Parts parts_;
  CarriedFirmware firmware_;
};
