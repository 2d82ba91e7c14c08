#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "cli/text_console.h"
#include "texts/message_catalogue.h"
#include "update/update_record.h"

// The command line's record keeper: hands each line to the file and, when it cannot be kept,
// says so once on the error stream. The update it records goes on and ends as it would without
// it: a lost record never changes the exit status.
class RecordReporter final : public UpdateRecordSink {
 public:
  // `append` writes one line to `path` and returns 0 or the errno of the call that failed.
  using Writer = std::function<int(std::string_view line)>;

  RecordReporter(Writer append, std::string path, TextConsole& console, const Catalogue& texts)
      : append_(std::move(append)), path_(std::move(path)), console_(console), texts_(texts) {}

  void Append(std::string_view line) override;

 private:
  Writer append_;
  std::string path_;
  TextConsole& console_;
  const Catalogue& texts_;
  bool reported_ = false;
};
