#pragma once

#include <cstdint>

// Every request operation returns one of these, or a code reported by the unit itself.
using ResultCode = std::int32_t;

inline constexpr ResultCode RESULT_OK = 0;
inline constexpr ResultCode RESULT_NO_DEVICE = -1;
inline constexpr ResultCode RESULT_WRITE_FAILED = -2;
inline constexpr ResultCode RESULT_READ_FAILED = -3;
inline constexpr ResultCode RESULT_NOT_FOUND = -4;
// Another program holds the unit (see UnitClaims); nothing was sent to it.
inline constexpr ResultCode RESULT_BUSY = -5;
// During an update, a report came that no request of ours explains: another program is writing
// to the unit. The link sends nothing more.
inline constexpr ResultCode RESULT_OTHER_WRITER = -6;
// The unit was found and opened, but the claim on it failed for a reason other than another
// program holding it (see UnitClaims); the OS error says why. Nothing was sent to it.
inline constexpr ResultCode RESULT_CLAIM_FAILED = -7;

// Windows' winerror.h defines the same name as a macro with the same value.
#ifdef ERROR_FUNCTION_FAILED
static_assert(ERROR_FUNCTION_FAILED == 1627);
#else
inline constexpr ResultCode ERROR_FUNCTION_FAILED = 1627;
#endif

// A request's result and the operating system's error of the call that failed it, taken where
// that call failed (GetLastError, errno, a browser error's code). 0 when no call failed: a reply
// that was read and judged, refused or not, carries no OS error.
struct RequestResult {
  ResultCode code = RESULT_OK;
  std::uint32_t osError = 0;

  bool ok() const { return code == RESULT_OK; }
  bool operator==(const RequestResult&) const = default;
};
