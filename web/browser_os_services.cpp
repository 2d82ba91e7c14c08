#include "web/browser_os_services.h"

#include <emscripten.h>

EM_ASYNC_JS(void, web_wait_ms, (double milliseconds), {
  const deadline = performance.now() + milliseconds;
  for (;;) {
    const left = deadline - performance.now();
    if (left <= 0) {
      break;
    }
    await new Promise((resolve) => setTimeout(resolve, Math.ceil(left)));
  }
});

void BrowserOsServices::Wait(std::uint32_t milliseconds) {
  web_wait_ms(static_cast<double>(milliseconds));
}
