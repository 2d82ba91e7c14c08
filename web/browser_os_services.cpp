#include "web/browser_os_services.h"

#include <emscripten.h>

// A timer for all but the last 2 ms (it may fire up to ~1 ms early, and a chain of timers is
// clamped to at least 4 ms each), then message-port turns, which are not clamped, to the deadline.
EM_ASYNC_JS(void, web_wait_ms, (double milliseconds), {
  const deadline = performance.now() + milliseconds;
  for (;;) {
    const left = deadline - performance.now();
    if (left <= 0) {
      break;
    }
    if (left > 2) {
      await new Promise((resolve) => setTimeout(resolve, Math.floor(left - 2)));
    } else {
      await WorkerSide.turn();
    }
  }
});

void BrowserOsServices::Wait(std::uint32_t milliseconds) {
  web_wait_ms(static_cast<double>(milliseconds));
}
