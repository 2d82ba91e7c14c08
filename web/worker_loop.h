#pragma once

#include "dialog/dialog_logic.h"
#include "dialog/dialog_view.h"
#include "protocol/device_event.h"
#include "web/page_channel.h"
#include "web/worker_inbox.h"

// The worker's message loop: the page's Update presses and the browser's device events, handed
// to the dialog's logic one at a time. While an update runs nothing is taken from the inbox
// except inside its boxes, as the Windows dialog pumps messages only in a box's modal loop.
class WorkerLoop {
 public:
  explicit WorkerLoop(PageChannel& page) : page_(page) {}

  // The logic is built over a view that needs this loop first, so it arrives after construction
  // (on Windows the dialog finds its state in the window's user data the same way).
  void Attach(DialogLogic& logic) { logic_ = &logic; }

  // Handles messages for as long as the page lives.
  void Run();
  // For a box: handles device events until the page answers.
  MessageAnswer WaitForAnswer();

 private:
  void Dispatch(const InboxMessage& message);

  PageChannel& page_;
  DialogLogic* logic_ = nullptr;
};

// The device event a message from the browser stands for.
DeviceEvent ToDeviceEvent(const InboxMessage& message);
