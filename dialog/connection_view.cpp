#include "dialog/connection_view.h"

#include <string>

#include "protocol/device_path.h"
#include "texts/failure_text.h"
#include "texts/readiness_text.h"
#include "update/unit_readiness.h"

// The status text, a blank line, then the connection instructions.
void ConnectionView::ShowGuidance(MessageId status) {
  ShowGuidance(texts_.Text(status));
}

void ConnectionView::ShowGuidance(const std::wstring& status) {
  view_.SetHint(status + L"\n\n");
  view_.AppendHint(texts_.Text(IDS_INSTRUCTIONS));
}

bool ConnectionView::ShowUnclaimed(const RequestResult& openResult) {
  if (openResult.code == RESULT_BUSY) {
    ShowGuidance(BusyText());
    return true;
  }
  if (openResult.code == RESULT_CLAIM_FAILED) {
    ShowGuidance(ClaimFailureText(openResult.osError, texts_));
    return true;
  }
  return false;
}

void ConnectionView::RejectUnit() {
  view_.EnableUpdate(false);
  link_.Close();
}

void ConnectionView::Classify(Moment moment) {
  const UnitReadiness readiness = JudgeUnit(link_.identity());
  const MessageId status = ReadinessStatus(readiness);
  switch (readiness) {
    case UnitReadiness::Ready:
      view_.SetHint(texts_.Text(status));
      if (moment == Moment::Arrival) {
        panel_.Refresh();
      }
      view_.EnableUpdate(true);
      return;

    case UnitReadiness::IncompatibleEsc:
      // The link is closed before the box, so an arrival during it is handled as a fresh unit.
      RejectUnit();
      view_.ShowMessage(IncompatibleEscText(texts_), texts_.Text(IDS_INCOMPATIBLE_CAPTION),
                        MessageIcon::Information, MessageButtons::Ok);
      ShowGuidance(status);
      return;

    case UnitReadiness::WrongMode:
    case UnitReadiness::NoEsc:
      RejectUnit();
      ShowGuidance(status);
      return;
  }
}

MessageId ConnectionView::BusyText() const {
  // The front end's own words are for a claim it saw refused; a unit heard talking to another
  // program is busy for a reason no claim here shows.
  return link_.heardOthersAtOpen() ? IDS_UNIT_BUSY : busyText_;
}

void ConnectionView::ShowStartupState(const RequestResult& openResult) {
  if (!openResult.ok()) {
    RejectUnit();
    // A unit that was found, but left alone (another program holds it, or it could not be
    // claimed): say so rather than "no unit".
    if (!ShowUnclaimed(openResult)) {
      ShowGuidance(IDS_NO_UNIT);
    }
  } else {
    Classify(Moment::Startup);
  }
  panel_.Refresh();
}

void ConnectionView::OnArrival(const DeviceEvent& event) {
  // While a unit is open further arrivals are not looked at.
  if (!event.deviceInterface || link_.IsOpen()) {
    return;
  }
  // A unit whose identification fails stays open and everything shown stays as it was. A unit
  // another program holds, or one that could not be claimed, was never opened here: the user
  // learns why nothing happens.
  const RequestResult opened = link_.Open();
  if (opened.code == RESULT_BUSY || opened.code == RESULT_CLAIM_FAILED) {
    view_.EnableUpdate(false);
    ShowUnclaimed(opened);
    return;
  }
  if (!opened.ok()) {
    return;
  }
  Classify(Moment::Arrival);
}

void ConnectionView::OnRemoval(const DeviceEvent& event) {
  if (!event.deviceInterface || !link_.IsOpen() ||
      !SameDevicePath(event.path, link_.devicePath())) {
    return;
  }
  link_.Close();
  view_.EnableUpdate(false);
  panel_.Refresh();
  ShowGuidance(IDS_CONNECTION_LOST);
}

bool ConnectionView::OnDeviceChange(const DeviceEvent& event) {
  switch (event.change) {
    case DeviceChange::Arrival:
      OnArrival(event);
      return true;
    case DeviceChange::Removal:
      OnRemoval(event);
      return true;
    case DeviceChange::Other:
      break;
  }
  return false;
}
