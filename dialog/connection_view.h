#pragma once

#include <string>

#include "dialog/dialog_view.h"
#include "dialog/version_panel.h"
#include "protocol/device_event.h"
#include "protocol/result_code.h"
#include "protocol/unit_link.h"
#include "texts/message_catalogue.h"

// Turns the link's state into what the dialog shows: the hint, the Update button and, for a
// wrong ESC, a message box. The only place where the dialog judges a unit ready for an update.
class ConnectionView {
 public:
  // `busyText` is what a unit whose claim was refused is called: the dialog's holder is another
  // program, the page's another tab. A unit heard talking to someone else is IDS_UNIT_BUSY.
  ConnectionView(DialogView& view, UnitLink& link, const Catalogue& texts, VersionPanel& panel,
                 MessageId busyText = IDS_UNIT_BUSY)
      : view_(view), link_(link), texts_(texts), panel_(panel), busyText_(busyText) {}

  // The start-up scan's result (of UnitLink::Open) shown.
  void ShowStartupState(const RequestResult& openResult);
  // True for arrivals and removals (handled or not), false for any other event.
  bool OnDeviceChange(const DeviceEvent& event);

 private:
  enum class Moment { Startup, Arrival };
  void Classify(Moment moment);
  void OnArrival(const DeviceEvent& event);
  void OnRemoval(const DeviceEvent& event);
  void ShowGuidance(MessageId status);
  void ShowGuidance(const std::wstring& status);
  // A unit left alone because it could not be claimed (busy, or the claim failed): its guidance.
  // False for any other result.
  bool ShowUnclaimed(const RequestResult& openResult);
  void RejectUnit();
  MessageId BusyText() const;

  DialogView& view_;
  UnitLink& link_;
  const Catalogue& texts_;
  VersionPanel& panel_;
  MessageId busyText_;
};
