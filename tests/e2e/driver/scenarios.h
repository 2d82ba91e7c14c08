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

// Groups: startup, hotplug, confirm, failures, update.
std::vector<Scenario> ScenariosOf(const std::string& group, Coverage coverage);

// Reads the firmware image the program carries (the build's image file).
bool LoadImage(const std::wstring& path);

}  // namespace e2e
