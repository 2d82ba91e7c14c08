#include "web/browser_unit_claims.h"

#include <emscripten.h>

#include <memory>

// The locks themselves live in web/worker_pre.js (WorkerLocks): a number above 0 is a held lock,
// 0 a lock held elsewhere, below 0 the negated error code of a browser without locks.
EM_ASYNC_JS(int, web_lock_claim, (const char* name),
            { return await WorkerLocks.claim(UTF8ToString(name)); });
EM_ASYNC_JS(void, web_lock_release, (int id), { await WorkerLocks.release(id); });

namespace {

class HeldLock final : public UnitClaim {
 public:
  explicit HeldLock(int id) : id_(id) {}
  ~HeldLock() override { web_lock_release(id_); }
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;

 private:
  int id_;
};

}  // namespace

std::string UnitLockName(const DevicePath& path) {
  const std::size_t number = path.rfind('-');
  return "pelora-unit " + (number == DevicePath::npos ? path : path.substr(0, number));
}

ClaimResult BrowserUnitClaims::Claim(const DevicePath& path) {
  ClaimResult result;
  const int held = web_lock_claim(UnitLockName(path).c_str());
  if (held > 0) {
    result.outcome = ClaimOutcome::Claimed;
    result.claim = std::make_unique<HeldLock>(held);
  } else if (held == 0) {
    result.outcome = ClaimOutcome::Busy;
  } else {
    result.outcome = ClaimOutcome::Failed;
    result.osError = static_cast<std::uint32_t>(-held);
  }
  return result;
}
