// The demo's simulated bus: one ready programming unit (a MAVIRA with an ESC of the supported
// type) served to any pelora-update started with the environment printed here, until standard
// input ends. tools/cli-demo runs it.
#include <cstdio>
#include <iostream>
#include <string>

#include "tests/hidapi_standin/driver/standin_bus.h"

int main() {
  standin::StandinBus bus;
  const std::string path = bus.Plug({});
  for (const auto& [name, value] : bus.ProgramEnvironment()) {
    std::printf("%s=%s\n", name.c_str(), value.c_str());
  }
  std::printf("UNIT=%s\n", path.c_str());
  std::fflush(stdout);
  for (std::string line; std::getline(std::cin, line);) {
  }
  const auto flash = bus.Flash(path);
  std::fprintf(stderr, "standin_demo: the unit took %zu requests; its flash holds %zu bytes\n",
               bus.Requests(path).size(), flash.size());
  return 0;
}
