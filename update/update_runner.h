#pragma once

#include <cstddef>

namespace UpdateRunner {

inline constexpr std::size_t BLOCK_BYTES = 48;

// What the Update button does; every outcome is shown to the user.
void Run();

}  // namespace UpdateRunner
