#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "texts/message_catalogue.h"

enum class CliCommand { List, Update, Doctor, History, Help, Version };

// What the command line asked for.
struct Arguments {
  CliCommand command = CliCommand::Help;
  bool json = false;
  bool yes = false;
  std::optional<std::string> device;
  std::uint32_t waitSeconds = 0;
};

inline constexpr std::uint32_t MAX_WAIT_SECONDS = 86400;

// The parsed arguments, or the reason they cannot be parsed (a message and what its %s stand
// for, for IDS_CLI_USAGE_ERROR).
struct ParsedArguments {
  std::optional<Arguments> arguments;
  MessageId error = 0;
  std::vector<std::string> errorSubjects;
};

// `args` without the program name, in the GNU forms: options before or after the command,
// "--device PATH" or "--device=PATH". Each option belongs to the commands it is listed for and
// may be given once. --help (-h) and --version win over everything else.
ParsedArguments ParseArguments(const std::vector<std::string>& args);
