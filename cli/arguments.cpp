#include "cli/arguments.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace {

// The options, and the commands each one belongs to.
struct KnownOption {
  const char* name;
  const char* shortName;  // or null
  bool takesValue;
  bool forList;
  bool forUpdate;
  bool forDoctor;
  bool forHistory;
};

constexpr KnownOption kOptions[] = {
    {"--json", nullptr, false, true, false, true, true},
    {"--yes", "-y", false, false, true, false, false},
    {"--device", nullptr, true, false, true, false, false},
    {"--wait", nullptr, true, true, true, false, false},
};

// The commands by the word that names them.
struct KnownCommand {
  const char* name;
  CliCommand command;
};
constexpr KnownCommand kCommands[] = {
    {"list", CliCommand::List},
    {"update", CliCommand::Update},
    {"doctor", CliCommand::Doctor},
    {"history", CliCommand::History},
};

const char* CommandName(CliCommand command) {
  for (const KnownCommand& known : kCommands) {
    if (known.command == command) {
      return known.name;
    }
  }
  return "";
}

bool OptionIsFor(const KnownOption& option, CliCommand command) {
  switch (command) {
    case CliCommand::List:
      return option.forList;
    case CliCommand::Update:
      return option.forUpdate;
    case CliCommand::Doctor:
      return option.forDoctor;
    case CliCommand::History:
      return option.forHistory;
    case CliCommand::Help:
    case CliCommand::Version:
      break;
  }
  return false;
}

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

// A word that follows an option needing a value and is itself an option: "--device -h" means a
// forgotten path, not a request for help. A value that starts with '-' is given as "--device=-x";
// "-1" stays a (wrong) number of seconds.
bool LooksLikeOption(const std::string& word) {
  return word.size() > 1 && word.front() == '-' &&
         !std::isdigit(static_cast<unsigned char>(word[1]));
}

}  // namespace

ParsedArguments ParseArguments(const std::vector<std::string>& args) {
  // --help and --version win wherever they stand, but not where they stand for a missing value.
  bool help = false;
  bool version = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const KnownOption* option = FindOption(args[i]);
    if (option != nullptr && option->takesValue) {
      if (i + 1 < args.size() && LooksLikeOption(args[i + 1])) {
        return Refused(IDS_CLI_MISSING_VALUE, {option->name});
      }
      ++i;
      continue;
    }
    help = help || args[i] == "--help" || args[i] == "-h";
    version = version || args[i] == "--version";
  }
  if (help) {
    return Just(CliCommand::Help);
  }
  if (version) {
    return Just(CliCommand::Version);
  }

  Arguments parsed;
  std::optional<CliCommand> command;
  std::vector<const KnownOption*> seen;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!command) {
      const auto named = std::find_if(std::begin(kCommands), std::end(kCommands),
                                      [&](const KnownCommand& known) { return arg == known.name; });
      if (named != std::end(kCommands)) {
        command = named->command;
        continue;
      }
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
    if (!OptionIsFor(*option, *command)) {
      return Refused(IDS_CLI_OPTION_NOT_FOR, {option->name, CommandName(*command)});
    }
  }
  parsed.command = *command;
  ParsedArguments accepted;
  accepted.arguments = parsed;
  return accepted;
}
