#include "cli/arguments.h"

#include <algorithm>
#include <charconv>

namespace {

// The options, and the commands each one belongs to.
struct KnownOption {
  const char* name;
  const char* shortName;  // or null
  bool takesValue;
  bool forList;
  bool forUpdate;
};

constexpr KnownOption kOptions[] = {
    {"--json", nullptr, false, true, false},
    {"--yes", "-y", false, false, true},
    {"--device", nullptr, true, false, true},
    {"--wait", nullptr, true, true, true},
};

ParsedArguments Refused(MessageId message, std::vector<std::string> subjects = {}) {
  ParsedArguments refused;
  refused.error = message;
  refused.errorSubjects = std::move(subjects);
  return refused;
}

ParsedArguments Just(CliCommand command) {
  ParsedArguments accepted;
  accepted.arguments = Arguments{};
  accepted.arguments->command = command;
  return accepted;
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

const KnownOption* FindOption(const std::string& name) {
  for (const KnownOption& option : kOptions) {
    if (name == option.name || (option.shortName != nullptr && name == option.shortName)) {
      return &option;
    }
  }
  return nullptr;
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
  std::vector<const KnownOption*> seen;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if ((arg == "list" || arg == "update" || arg == "history") && !command) {
      command = arg == "list"     ? CliCommand::List
                : arg == "update" ? CliCommand::Update
                                  : CliCommand::History;
      continue;
    }
    // "--name=value" is the same as "--name value"; a short option has no such form.
    const std::size_t equals = arg.starts_with("--") ? arg.find('=') : std::string::npos;
    const std::string name = arg.substr(0, equals);
    const KnownOption* option = FindOption(name);
    if (option == nullptr) {
      return Refused(IDS_CLI_UNKNOWN_ARGUMENT, {arg});
    }
    if (std::find(seen.begin(), seen.end(), option) != seen.end()) {
      return Refused(IDS_CLI_OPTION_TWICE, {option->name});
    }
    seen.push_back(option);

    std::optional<std::string> value;
    if (equals != std::string::npos) {
      if (!option->takesValue) {
        return Refused(IDS_CLI_OPTION_NO_VALUE, {option->name});
      }
      value = arg.substr(equals + 1);
    } else if (option->takesValue && i + 1 < args.size()) {
      value = args[++i];
    }
    if (option->takesValue && (!value || value->empty())) {
      return Refused(IDS_CLI_MISSING_VALUE, {option->name});
    }

    if (name == "--json") {
      parsed.json = true;
    } else if (option->name == std::string("--yes")) {
      parsed.yes = true;
    } else if (name == "--device") {
      parsed.device = *value;
    } else {
      const auto waited = ParseSeconds(*value);
      if (!waited) {
        return Refused(IDS_CLI_BAD_SECONDS, {*value});
      }
      parsed.waitSeconds = *waited;
    }
  }
  if (!command) {
    return Refused(IDS_CLI_NO_COMMAND);
  }
  // An option that the command would ignore is refused: the user meant something by it.
  for (const KnownOption* option : seen) {
    // history reads the records alone: of the options, only --json means anything to it.
    const bool belongs = *command == CliCommand::History ? option->name == std::string("--json")
                         : *command == CliCommand::List  ? option->forList
                                                         : option->forUpdate;
    if (!belongs) {
      const char* commandName = *command == CliCommand::List     ? "list"
                                : *command == CliCommand::Update ? "update"
                                                                 : "history";
      return Refused(IDS_CLI_OPTION_NOT_FOR, {option->name, commandName});
    }
  }
  parsed.command = *command;
  ParsedArguments accepted;
  accepted.arguments = parsed;
  return accepted;
}
