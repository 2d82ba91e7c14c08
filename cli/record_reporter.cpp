#include "cli/record_reporter.h"

#include <cstring>

#include "texts/message_format.h"
#include "texts/text_encoding.h"

void RecordReporter::Append(std::string_view line) {
  const int error = path_.empty() ? 0 : append_(line);
  if ((error == 0 && !path_.empty()) || reported_) {
    return;
  }
  reported_ = true;
  if (path_.empty()) {
    console_.Err(texts_.Text(IDS_CLI_RECORD_NO_PLACE) + L"\n");
    return;
  }
  const std::wstring reason = WideFromUtf8(std::strerror(error));
  const std::vector<std::wstring> subjects = {WideFromUtf8(path_), reason};
  console_.Err(FormatWithTexts(texts_.Text(IDS_CLI_RECORD_FAILED), subjects) + L"\n");
}
