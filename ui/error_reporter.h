#pragma once

#include <cstdint>
#include <string_view>

#include "protocol/result_code.h"

namespace ErrorReporter {

// Closes the link, shows the failure with both error numbers, leaves the retry hint.
void Report(std::wstring_view message, std::wstring_view caption, ResultCode result,
            std::uint32_t lastError);

}  // namespace ErrorReporter
