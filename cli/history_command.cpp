#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "platform/posix/scoped_fd.h"
#include "texts/failure_text.h"
#include "texts/message_format.h"
#include "texts/text_encoding.h"
#include "update/update_record.h"

namespace {

// A record is a few hundred bytes; a longer line is damage, and is never held whole.
constexpr std::size_t MAX_LINE_BYTES = 64 * 1024;
// The file rotates at 1 MiB; a file far past that was not written by this program, and reading
// stops there rather than filling the memory.
constexpr std::size_t MAX_FILE_BYTES = 8 * 1024 * 1024;

struct ReadRecords {
  std::vector<nlohmann::json> records;
  std::size_t damaged = 0;
  int error = 0;  // errno of a file that is there but cannot be read
};

// What `history` accepts as a record: an object with its time and outcome. Anything else that
// parses is as damaged as a line that does not.
bool LooksLikeRecord(const nlohmann::json& record) {
  if (!record.is_object()) {
    return false;
  }
  const auto time = record.find("time");
  const auto outcome = record.find("outcome");
  return time != record.end() && time->is_string() && outcome != record.end() &&
         outcome->is_object() && outcome->contains("end") && (*outcome)["end"].is_string();
}

void ReadFile(const std::string& path, ReadRecords& read) {
  const ScopedFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) {
    if (errno != ENOENT) {
      read.error = errno;
    }
    return;
  }
  std::size_t total = 0;
  std::string line;
  bool tooLong = false;
  const auto take = [&] {
    if (tooLong) {
      ++read.damaged;
    } else if (!line.empty()) {
      nlohmann::json record = nlohmann::json::parse(line, nullptr, false);
      if (!record.is_discarded() && LooksLikeRecord(record)) {
        read.records.push_back(std::move(record));
      } else {
        ++read.damaged;
      }
    }
    line.clear();
    tooLong = false;
  };
  char buffer[4096];
  while (total < MAX_FILE_BYTES) {
    const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      read.error = errno;
      return;
    }
    if (got == 0) {
      break;
    }
    total += static_cast<std::size_t>(got);
    for (ssize_t i = 0; i < got; ++i) {
      if (buffer[i] == '\n') {
        take();
      } else if (line.size() < MAX_LINE_BYTES) {
        line.push_back(buffer[i]);
      } else {
        tooLong = true;
      }
    }
  }
  if (total >= MAX_FILE_BYTES) {
    tooLong = true;  // the rest of an oversized file is left unread
  }
  // A last line without its line break was cut off while it was written, unless it is whole.
  take();
}

std::string Text(const nlohmann::json& object, const char* key) {
  if (!object.is_object()) {
    return "?";
  }
  const auto found = object.find(key);
  if (found == object.end() || found->is_null()) {
    return "-";
  }
  return found->is_string() ? found->get<std::string>() : found->dump();
}

std::int64_t Number(const nlohmann::json& object, const char* key) {
  if (!object.is_object()) {
    return 0;
  }
  const auto found = object.find(key);
  return found != object.end() && found->is_number_integer() ? found->get<std::int64_t>() : 0;
}

nlohmann::json Member(const nlohmann::json& object, const char* key) {
  if (!object.is_object()) {
    return nullptr;
  }
  const auto found = object.find(key);
  return found != object.end() ? *found : nlohmann::json(nullptr);
}

// "2026-12-11 07:00:00 UTC  cli 3.3  /dev/hidraw0  MAVIRA 1.2  ESC-bootloader 1.5  ESC 3.2 ->
// 3.3  46.2 s", then the outcome in the error box's words, indented.
std::wstring Readable(const nlohmann::json& record, const Catalogue& texts) {
  std::string time = Text(record, "time");
  if (time.size() >= 19 && time[10] == 'T') {
    time = time.substr(0, 10) + " " + time.substr(11, 8) + " UTC";
  }
  const nlohmann::json unit = Member(record, "unit");
  const nlohmann::json outcome = Member(record, "outcome");
  const std::int64_t ms = Number(record, "durationMs");
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%lld.%lld s", static_cast<long long>(ms / 1000),
                static_cast<long long>(ms % 1000 / 100));
  std::wstring line = WideFromUtf8(time + "  " + Text(record, "frontEnd") + " " +
                                   Text(record, "programVersion") + "  " + Text(unit, "path") +
                                   "  " + Text(unit, "kind") + " " + Text(unit, "unitVersion")) +
                      L"  " + texts.Text(IDS_LABEL_BOOTLOADER) + L" " +
                      WideFromUtf8(Text(unit, "bootloaderVersion")) + L"  " +
                      texts.Text(IDS_LABEL_ESC) + L" " +
                      WideFromUtf8(Text(unit, "escVersion") + " -> " +
                                   Text(Member(record, "carried"), "version") + "  " + seconds) +
                      L"\n";
  const std::string end = Text(outcome, "end");
  std::wstring result;
  if (end == "done") {
    result = texts.Text(IDS_CLI_HISTORY_DONE);
  } else if (end == "stopped") {
    result = texts.Text(IDS_CLI_HISTORY_STOPPED);
  } else {
    const std::optional<UpdateStage> stage = StageFromKeyword(Text(outcome, "stage"));
    const std::wstring message =
        stage ? texts.Text(StageFailureMessage(*stage)) : texts.Text(IDS_UPDATE_FAILED);
    result = FailureText(message, static_cast<ResultCode>(Number(outcome, "result")),
                         static_cast<std::uint32_t>(Number(outcome, "osError")), texts);
  }
  // Indented under its record, line by line.
  std::wstring indented = L"  ";
  for (const wchar_t c : result) {
    indented += c;
    if (c == L'\n') {
      indented += L"  ";
    }
  }
  return line + indented + L"\n";
}

}  // namespace

ExitStatus ShowHistory(const Arguments& arguments, CliContext& context) {
  const Catalogue& texts = context.texts;
  const std::string& path = context.recordPath;
  if (path.empty()) {
    context.console.Err(texts.Text(IDS_CLI_RECORD_NO_PLACE) + L"\n");
    return ExitStatus::RecordsUnreadable;
  }
  // The older file first, so the records come in the order they were made.
  ReadRecords read;
  for (const std::string& file : {path + ".1", path}) {
    ReadFile(file, read);
    if (read.error != 0) {
      const std::vector<std::wstring> subjects = {WideFromUtf8(file),
                                                  WideFromUtf8(std::strerror(read.error))};
      context.console.Err(FormatWithTexts(texts.Text(IDS_CLI_HISTORY_UNREADABLE), subjects) +
                          L"\n");
      return ExitStatus::RecordsUnreadable;
    }
  }
  if (read.damaged != 0) {
    const std::vector<std::wstring> subjects = {WideFromUtf8(path), std::to_wstring(read.damaged)};
    context.console.Err(FormatWithTexts(texts.Text(IDS_CLI_HISTORY_SKIPPED), subjects) + L"\n");
  }

  bool written = true;
  if (arguments.json) {
    nlohmann::json all = nlohmann::json::array();
    for (nlohmann::json& record : read.records) {
      all.push_back(std::move(record));
    }
    written = context.console.Out(
        WideFromUtf8(all.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n"));
  } else if (read.records.empty()) {
    written = context.console.Out(
        FormatWithText(texts.Text(IDS_CLI_HISTORY_NONE), WideFromUtf8(path)) + L"\n");
  } else {
    for (const nlohmann::json& record : read.records) {
      written = context.console.Out(Readable(record, texts)) && written;
    }
  }
  return written ? ExitStatus::Success : ExitStatus::OutputFailed;
}
