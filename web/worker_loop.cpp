#include "web/worker_loop.h"

DeviceEvent ToDeviceEvent(const InboxMessage& message) {
  DeviceEvent event;
  switch (message.kind) {
    case InboxKind::Arrival:
    case InboxKind::Granted:  // a device the user just granted is new to this origin
      event.change = DeviceChange::Arrival;
      break;
    case InboxKind::Removal:
      event.change = DeviceChange::Removal;
      break;
    default:
      return event;  // not a device event
  }
  // WebHID reports whole devices, each of which is the one interface the unit has.
  event.deviceInterface = true;
  event.path = message.text;
  return event;
}

void WorkerLoop::Dispatch(const InboxMessage& message) {
  if (logic_ == nullptr) {
    return;
  }
  switch (message.kind) {
    case InboxKind::Update:
      page_.Busy(true);
      logic_->runner.Run();
      page_.Busy(false);
      break;
    case InboxKind::Arrival:
    case InboxKind::Granted:
    case InboxKind::Removal:
      logic_->connection.OnDeviceChange(ToDeviceEvent(message));
      break;
    default:
      break;  // an answer no box waits for, or a second start
  }
}

void WorkerLoop::Run() {
  for (;;) {
    Dispatch(NextInboxMessage());
  }
}

MessageAnswer WorkerLoop::WaitForAnswer() {
  for (;;) {
    const InboxMessage message = NextInboxMessage();
    if (message.kind == InboxKind::Answer) {
      switch (message.number) {
        case static_cast<int>(MessageAnswer::Ok):
          return MessageAnswer::Ok;
        case static_cast<int>(MessageAnswer::Yes):
          return MessageAnswer::Yes;
        case static_cast<int>(MessageAnswer::No):
          return MessageAnswer::No;
        default:
          return MessageAnswer::Cancel;
      }
    }
    // The page locks its controls during an update, so only device events matter here.
    if (message.kind != InboxKind::Update) {
      Dispatch(message);
    }
  }
}
