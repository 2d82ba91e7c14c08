#include "ui/connection_view.h"

#include <string>

#include "protocol/device_path.h"
#include "resources/resource_ids.h"
#include "ui/message_format.h"
#include "update/firmware_package.h"
#include "update/unit_readiness.h"

// The status text, a blank line, then the connection instructions.
void ConnectionView::ShowGuidance(MessageId status) {
  view_.SetHint(texts_.Text(status) + L"\r\n\r\n");
  view_.AppendHint(texts_.Text(IDS_INSTRUCTIONS));
}

void ConnectionView::RejectUnit() {
  view_.EnableItem(IDC_UPDATE, false);
  link_.Close();
}

void ConnectionView::Classify(Moment moment) {
  switch (JudgeUnit(link_.identity())) {
    case UnitReadiness::WrongMode:
      RejectUnit();
      ShowGuidance(IDS_WRONG_MODE);
      return;

    case UnitReadiness::Ready:
      view_.SetHint(texts_.Text(IDS_READY));
      if (moment == Moment::Arrival) {
        panel_.Refresh();
      }
      view_.EnableItem(IDC_UPDATE, true);
      return;

    case UnitReadiness::IncompatibleEsc:
      // The link is closed before the box, so an arrival during it is handled as a fresh unit.
      RejectUnit();
      view_.ShowMessage(FormatWithText(texts_.Text(IDS_INCOMPATIBLE_TEXT), SUPPORTED_MODEL_NAME),
                        texts_.Text(IDS_INCOMPATIBLE_CAPTION), MessageIcon::Information,
                        MessageButtons::Ok);
      ShowGuidance(IDS_INCOMPATIBLE_HINT);
      return;

    case UnitReadiness::NoEsc:
      RejectUnit();
      ShowGuidance(IDS_NO_ESC);
      return;
  }
}

void ConnectionView::ShowStartupState(ResultCode openResult) {
  if (openResult != RESULT_OK) {
    RejectUnit();
    ShowGuidance(IDS_NO_UNIT);
  } else {
    Classify(Moment::Startup);
  }
  panel_.Refresh();
}

void ConnectionView::OnArrival(const DeviceEvent& event) {
  // While a unit is open further arrivals are not looked at.
  if (event.deviceType != DEVICE_TYPE_INTERFACE || link_.IsOpen()) {
    return;
  }
  // A unit whose identification fails stays open and everything shown stays as it was.
  if (link_.Open() != RESULT_OK) {
    return;
  }
  Classify(Moment::Arrival);
}

void ConnectionView::OnRemoval(const DeviceEvent& event) {
  if (event.deviceType != DEVICE_TYPE_INTERFACE || !link_.IsOpen() ||
      !SameDevicePath(event.path, link_.devicePath())) {
    return;
  }
  link_.Close();
  view_.EnableItem(IDC_UPDATE, false);
  panel_.Refresh();
  ShowGuidance(IDS_CONNECTION_LOST);
}

int ConnectionView::OnDeviceChange(const DeviceEvent& event) {
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
