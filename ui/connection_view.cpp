#include "ui/connection_view.h"

#include <string>
#include <string_view>

#include "protocol/device_path.h"
#include "protocol/unit_link.h"
#include "resources/resource_ids.h"
#include "ui/dialog_view.h"
#include "ui/message_catalogue.h"
#include "ui/message_format.h"
#include "ui/version_panel.h"
#include "update/firmware_package.h"

namespace {

// The status text, a blank line, then the connection instructions.
void ShowGuidance(MessageId status) {
  View().SetHint(Text(status) + L"\r\n\r\n");
  View().AppendHint(Text(IDS_INSTRUCTIONS));
}

void RejectUnit() {
  View().EnableItem(IDC_UPDATE, false);
  TheUnitLink().Close();
}

void OnArrival(const DeviceEvent& event) {
  // While a unit is open further arrivals are not looked at.
  if (event.deviceType != DEVICE_TYPE_INTERFACE || TheUnitLink().IsOpen()) {
    return;
  }
  // A unit whose identification fails stays open and everything shown stays as it was.
  if (TheUnitLink().Open() != RESULT_OK) {
    return;
  }
  ConnectionView::Classify(ConnectionView::Moment::Arrival);
}

void OnRemoval(const DeviceEvent& event) {
  const UnitLink& link = TheUnitLink();
  if (event.deviceType != DEVICE_TYPE_INTERFACE || !link.IsOpen() || !link.devicePath ||
      !SameDevicePath(event.path, *link.devicePath)) {
    return;
  }
  TheUnitLink().Close();
  View().EnableItem(IDC_UPDATE, false);
  VersionPanel::Refresh();
  ShowGuidance(IDS_CONNECTION_LOST);
}

}  // namespace

namespace ConnectionView {

void Classify(Moment moment) {
  const UnitLink& link = TheUnitLink();

  if (link.unitMode != 0) {
    RejectUnit();
    ShowGuidance(IDS_WRONG_MODE);
    return;
  }

  if (link.escState == ESC_STATE_READY && IsSupportedEscType(link.escTypeId())) {
    View().SetHint(Text(IDS_READY));
    if (moment == Moment::Arrival) {
      VersionPanel::Refresh();
    }
    View().EnableItem(IDC_UPDATE, true);
    return;
  }

  if (link.escState == ESC_STATE_READY) {
    // The link is closed before the box, so an arrival during it is handled as a fresh unit.
    RejectUnit();
    View().ShowMessage(FormatWithText(Text(IDS_INCOMPATIBLE_TEXT), SUPPORTED_MODEL_NAME),
                       Text(IDS_INCOMPATIBLE_CAPTION), MessageIcon::Information,
                       MessageButtons::Ok);
    ShowGuidance(IDS_INCOMPATIBLE_HINT);
    return;
  }

  RejectUnit();
  ShowGuidance(IDS_NO_ESC);
}

void ShowStartupState(ResultCode openResult) {
  if (openResult != RESULT_OK) {
    RejectUnit();
    ShowGuidance(IDS_NO_UNIT);
  } else {
    Classify(Moment::Startup);
  }
  VersionPanel::Refresh();
}

int OnDeviceChange(const DeviceEvent& event) {
  if (event.code == DEVICE_EVENT_ARRIVAL) {
    OnArrival(event);
    return 1;
  }
  if (event.code == DEVICE_EVENT_REMOVE_COMPLETE) {
    OnRemoval(event);
    return 1;
  }
  return 0;
}

}  // namespace ConnectionView
