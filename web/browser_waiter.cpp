#include "web/browser_waiter.h"

#include <emscripten.h>

// The wait itself is WorkerSide.waitUntil (web/worker_pre.js).
EM_ASYNC_JS(void, web_wait_ms, (double milliseconds),
            { await WorkerSide.waitUntil(performance.now() + milliseconds); });

void BrowserWaiter::Wait(std::uint32_t milliseconds) {
  web_wait_ms(static_cast<double>(milliseconds));
}
