#include "platform/win32/win32_unit_claims.h"

#include <windows.h>

#include <memory>
#include <utility>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/unit_claim_name.h"

namespace {

class HeldMutex final : public UnitClaim {
 public:
  explicit HeldMutex(KernelObject mutex) : mutex_(std::move(mutex)) {}

 private:
  KernelObject mutex_;
};

}  // namespace

ClaimResult Win32UnitClaims::Claim(const DevicePath& path) {
  ClaimResult result;
  KernelObject mutex(CreateMutexW(nullptr, FALSE, UnitClaimName(path).c_str()));
  // CreateMutexW opens the existing object and says so in the last error.
  const DWORD error = GetLastError();
  if (!mutex) {
    // Another user's claim whose object this user may not open is a claim all the same.
    result.outcome = error == ERROR_ACCESS_DENIED ? ClaimOutcome::Busy : ClaimOutcome::Failed;
    result.osError = error;
    return result;
  }
  if (error == ERROR_ALREADY_EXISTS) {
    result.outcome = ClaimOutcome::Busy;
    return result;
  }
  result.outcome = ClaimOutcome::Claimed;
  result.claim = std::make_unique<HeldMutex>(std::move(mutex));
  return result;
}
