#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "texts/message_catalogue.h"

enum class CliCommand { List, Update, Help, Version };

// What the command line asked for.
struct Arguments {
  CliCommand command = CliCommand::Help;
  bool json = false;
  bool yes = false;
  std::optional<std::string> device;
  std::uint32_t waitSeconds = 0;
};

inline constexpr std::uint32_t MAX_WAIT_SECONDS = 86400;

// The parsed arguments, or the reason they cannot be parsed (a message and the argument it is
// about, for IDS_CLI_USAGE_ERROR).
struct ParsedArguments {
  std::optional<Arguments> arguments;
  MessageId error = 0;
  std::string errorSubject;
};

// `args` without the program name. --help and --version win over everything else.
ParsedArguments ParseArguments(const std::vector<std::string>& args);
