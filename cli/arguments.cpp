#include "cli/arguments.h"

#include <algorithm>
#include <charconv>

namespace {

ParsedArguments Refused(MessageId message, std::string subject = {}) {
  ParsedArguments refused;
  refused.error = message;
  refused.errorSubject = std::move(subject);
  return refused;
}

ParsedArguments Accepted(const Arguments& arguments) {
  ParsedArguments accepted;
  accepted.arguments = arguments;
  return accepted;
}

ParsedArguments Just(CliCommand command) {
  Arguments arguments;
  arguments.command = command;
  return Accepted(arguments);
}

// A whole number of seconds, decimal digits only, within the bound.
std::optional<std::uint32_t> ParseSeconds(const std::string& text) {
  std::uint32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || at != end || value > MAX_WAIT_SECONDS) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

ParsedArguments ParseArguments(const std::vector<std::string>& args) {
  const auto given = [&](const char* flag) {
    return std::find(args.begin(), args.end(), flag) != args.end();
  };
  if (given("--help") || given("-h")) {
    return Just(CliCommand::Help);
  }
  if (given("--version")) {
    return Just(CliCommand::Version);
  }

  Arguments parsed;
  std::optional<CliCommand> command;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const auto value = [&]() -> const std::string* {
      return i + 1 < args.size() ? &args[++i] : nullptr;
    };
    if ((arg == "list" || arg == "update") && !command) {
      command = arg == "list" ? CliCommand::List : CliCommand::Update;
    } else if (arg == "--json") {
      parsed.json = true;
    } else if (arg == "--yes" || arg == "-y") {
      parsed.yes = true;
    } else if (arg == "--device") {
      const std::string* path = value();
      if (path == nullptr || path->empty()) {
        return Refused(IDS_CLI_MISSING_VALUE, arg);
      }
      parsed.device = *path;
    } else if (arg == "--wait") {
      const std::string* seconds = value();
      if (seconds == nullptr) {
        return Refused(IDS_CLI_MISSING_VALUE, arg);
      }
      const auto waited = ParseSeconds(*seconds);
      if (!waited) {
        return Refused(IDS_CLI_BAD_SECONDS, *seconds);
      }
      parsed.waitSeconds = *waited;
    } else {
      return Refused(IDS_CLI_UNKNOWN_ARGUMENT, arg);
    }
  }
  if (!command) {
    return Refused(IDS_CLI_NO_COMMAND);
  }
  parsed.command = *command;
  return Accepted(parsed);
}
