#pragma once

#include <cstdint>

// The second error number on the web: the browser reports failures as exceptions with a name and
// no number, so each kind the transport meets gets a fixed code of its own (0x0000b0NN, "b" for
// browser, apart from every Windows and errno value). docs/architecture.md lists them; the
// worker's JavaScript (web/worker_pre.js) uses the same numbers.
inline constexpr std::uint32_t BROWSER_ERROR_NETWORK = 0xB001;  // NetworkError: transfer failed
inline constexpr std::uint32_t BROWSER_ERROR_INVALID_STATE = 0xB002;  // InvalidStateError: not open
inline constexpr std::uint32_t BROWSER_ERROR_NOT_ALLOWED = 0xB003;    // NotAllowedError
inline constexpr std::uint32_t BROWSER_ERROR_NOT_FOUND = 0xB004;      // NotFoundError
inline constexpr std::uint32_t BROWSER_ERROR_BAD_REPORT = 0xB005;     // TypeError: report refused
inline constexpr std::uint32_t BROWSER_ERROR_TIMEOUT = 0xB006;        // no input report in 10 s
inline constexpr std::uint32_t BROWSER_ERROR_UNPLUGGED = 0xB007;      // unit gone during the call
inline constexpr std::uint32_t BROWSER_ERROR_NO_HANDLE = 0xB008;      // the handle is not open here
inline constexpr std::uint32_t BROWSER_ERROR_NO_LOCKS = 0xB009;       // no Web Locks to claim with
inline constexpr std::uint32_t BROWSER_ERROR_OTHER = 0xB0FF;          // any other exception
