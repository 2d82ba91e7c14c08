#include "web/worker_inbox.h"

#include <emscripten.h>

// The queue itself lives in web/worker_pre.js (WorkerSide); these read its current message.
EM_ASYNC_JS(int, web_inbox_next, (), { return await WorkerSide.next(); });
EM_JS(int, web_inbox_text_bytes, (), { return lengthBytesUTF8(WorkerSide.currentText()); });
EM_JS(void, web_inbox_text, (char* out, int size),
      { stringToUTF8(WorkerSide.currentText(), out, size); });
EM_JS(int, web_inbox_number, (), { return WorkerSide.currentNumber(); });

InboxMessage NextInboxMessage() {
  InboxMessage message;
  const int kind = web_inbox_next();
  if (kind >= static_cast<int>(InboxKind::Start) && kind <= static_cast<int>(InboxKind::Other)) {
    message.kind = static_cast<InboxKind>(kind);
  }
  const int bytes = web_inbox_text_bytes();
  if (bytes > 0) {
    std::string text(static_cast<std::size_t>(bytes) + 1, '\0');
    web_inbox_text(text.data(), bytes + 1);
    text.resize(static_cast<std::size_t>(bytes));
    message.text = std::move(text);
  }
  message.number = web_inbox_number();
  return message;
}
