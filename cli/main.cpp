#include <csignal>
#include <string>
#include <vector>

#include "carried_image_digest.h"
#include "cli/carried_image.h"
#include "cli/commands.h"
#include "cli/hidapi_unit_bus.h"
#include "cli/language.h"
#include "platform/hidapi/hidapi_transport.h"
#include "platform/posix/monotonic_waiter.h"
#include "platform/posix/posix_console.h"
#include "platform/posix/posix_interrupt_shield.h"
#include "texts/message_catalogue.h"

int main(int argc, char** argv) {
  // Output to a pipe that was closed must not end an update half-way; the text is just lost.
  std::signal(SIGPIPE, SIG_IGN);

  const TableCatalogue texts(LanguageOfLocale(LocaleVariablesOfEnvironment()));
  // Everything the commands work with, built once here for the whole run.
  PosixConsole console;
  MonotonicWaiter waiter;
  HidapiTransport transport;
  HidapiUnitBus bus(transport);
  PosixInterruptShield shield(console, texts.Text(IDS_CLI_INTERRUPT_WARNING));
  const CarriedFirmware firmware{CarriedImage(), CARRIED_IMAGE_SHA256};
  CliContext context{console, texts,  bus,      transport,
                     waiter,  shield, firmware, UPDATER_UDEV_RULE_PATH};
  return RunCommandLine(std::vector<std::string>(argv + 1, argv + argc), context);
}
