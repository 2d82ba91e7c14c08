#pragma once

#include <string>

// What reaches the worker, in the order it arrived: the page's requests and the browser's HID
// connect and disconnect events, one queue as a window's messages are one queue on Windows.
enum class InboxKind {
  Start,    // text: the browser's language tag; number: 1 when the page has WebHID
  Update,   // the Update button
  Answer,   // number: the MessageAnswer of the open box
  Granted,  // the user granted a device in the page's chooser
  Arrival,  // text: the device's path
  Removal,  // text: the device's path
  Other,    // anything the worker does not know
};

struct InboxMessage {
  InboxKind kind = InboxKind::Other;
  std::string text;
  int number = 0;
};

// Waits (the core is suspended, the browser goes on) until the next message is there.
InboxMessage NextInboxMessage();
