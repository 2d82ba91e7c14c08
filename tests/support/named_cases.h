#pragma once

#include <ostream>

namespace named_cases {

// Table rows show by name in failure messages rather than as a dump of their bytes. A test file
// brings it into the namespace of its row types (`using named_cases::PrintTo;`), where GoogleTest
// finds it by argument-dependent lookup.
template <typename Case>
requires requires(const Case& c) {
  c.name;
}
void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

}  // namespace named_cases
