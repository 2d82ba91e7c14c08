#include "cli/node_access_advice.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "cli/file_mode_text.h"
#include "texts/message_format.h"
#include "texts/text_encoding.h"

namespace {

std::wstring UserName(uid_t uid) {
  const passwd* user = getpwuid(uid);
  return user != nullptr ? WideFromUtf8(user->pw_name) : std::to_wstring(uid);
}

std::wstring GroupName(gid_t gid) {
  const group* entry = getgrgid(gid);
  return entry != nullptr ? WideFromUtf8(entry->gr_name) : std::to_wstring(gid);
}

}  // namespace

std::wstring NodeAccessAdvice::Explain(const std::string& path, const Catalogue& texts) const {
  std::wstring advice;
  struct stat node {};
  if (::stat(path.c_str(), &node) == 0) {
    const std::wstring values[] = {UserName(node.st_uid), GroupName(node.st_gid),
                                   FileModeText(node.st_mode)};
    advice = FormatWithTexts(texts.Text(IDS_CLI_NODE_MODE), values) + L"\n";
  }
  for (const std::string& rule : ruleFiles_) {
    if (::access(rule.c_str(), F_OK) == 0) {
      return advice + FormatWithText(texts.Text(IDS_CLI_RULE_INSTALLED), WideFromUtf8(rule));
    }
  }
  std::wstring looked;
  for (const std::string& rule : ruleFiles_) {
    looked += (looked.empty() ? L"" : L", ") + WideFromUtf8(rule);
  }
  return advice + FormatWithText(texts.Text(IDS_CLI_RULE_MISSING), looked);
}
