#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

#include "carried_image_digest.h"
#include "cli/commands.h"
#include "cli/hidapi_unit_bus.h"
#include "cli/interrupt_shield.h"
#include "cli/language.h"
#include "cli/node_access_advice.h"
#include "cli/record_reporter.h"
#include "cli/text_console.h"
#include "platform/hidapi/hidapi_transport.h"
#include "platform/posix/monotonic_waiter.h"
#include "platform/posix/posix_console.h"
#include "platform/posix/posix_unit_claims.h"
#include "platform/posix/record_file.h"
#include "platform/posix/signal_watcher.h"
#include "platform/posix/system_tree.h"
#include "protocol/claiming_transport.h"
#include "texts/message_catalogue.h"
#include "update/compiled_in_image.h"

namespace {

// A standard descriptor closed by the caller would be the next one open(2) hands out: the unit's
// node would become "standard output" and the program's texts would be written to the unit.
// Each closed one is taken by /dev/null before anything else is opened.
bool OccupyClosedStandardDescriptors() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
      continue;
    }
    const int opened = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (opened != fd) {
      return false;
    }
  }
  return true;
}

std::vector<std::string> Split(const std::string& list) {
  std::vector<std::string> parts;
  std::istringstream in(list);
  for (std::string part; std::getline(in, part, ':');) {
    parts.push_back(part);
  }
  return parts;
}

// The time of day for the update records.
class SystemWallClock final : public WallClock {
 public:
  std::int64_t UtcMilliseconds() override {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (!OccupyClosedStandardDescriptors()) {
    return static_cast<int>(ExitStatus::OutputFailed);
  }
  // Output to a pipe that was closed must not end an update half-way; the text is just lost.
  std::signal(SIGPIPE, SIG_IGN);

  const TableCatalogue texts(LanguageOfLocale(LocaleVariablesOfEnvironment()));
  // Everything the commands work with, built once here for the whole run.
  PosixConsole posixConsole;
  TextConsole console(posixConsole);
  MonotonicWaiter waiter;
  HidapiTransport hidapi;
  HidapiUnitBus bus(hidapi);
  PosixUnitClaims claims;
  ClaimingTransport transport(hidapi, claims);
  SignalWatcher signals;
  InterruptShield shield(signals, console, texts);
  const NodeAccessAdvice access(Split(UPDATER_UDEV_RULE_FILES));
  const SystemTree system("/", CurrentUser());
  const CarriedFirmware firmware{CarriedImage(), CARRIED_IMAGE_SHA256};
  SystemWallClock wallClock;
  const RecordFile recordFile(RecordFilePath(std::getenv("XDG_STATE_HOME"), std::getenv("HOME")));
  RecordReporter records([&](std::string_view line) { return recordFile.Append(line); },
                         recordFile.path(), console, texts);
  CliContext context{console,
                     texts,
                     bus,
                     transport,
                     waiter,
                     shield,
                     firmware,
                     UPDATER_CARRIES_STANDIN != 0,
                     access,
                     system,
                     Split(UPDATER_UDEV_RULE_FILES),
                     wallClock,
                     records,
                     recordFile.path()};
  return RunCommandLine(std::vector<std::string>(argv + 1, argv + argc), context);
}
