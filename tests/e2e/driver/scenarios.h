// The end-to-end scenarios, grouped as the harness runs them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tests/e2e/driver/session.h"

namespace e2e {

// How much of each table a language run covers: English runs everything, German the states of
// every kind once, the English-under-another-locale run the basic states.
enum class Coverage { Basic, Core, All };

struct Scenario {
  std::string name;
  std::function<void(Session&)> run;
};

// Groups: startup, hotplug, confirm, failures, update, unaligned (a program carrying an image
// whose length is not a multiple of 4), matrix-stages, matrix-blocks, matrix-final, storms,
// planted, bench.
std::vector<Scenario> ScenariosOf(const std::string& group, Coverage coverage);

}  // namespace e2e
