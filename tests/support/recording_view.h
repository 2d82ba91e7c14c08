#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dialog/dialog_view.h"
#include "tests/support/timeline.h"

struct ShownMessage {
  std::wstring text;
  std::wstring caption;
  MessageIcon icon;
  MessageButtons buttons;
  std::wstring hintWhenShown;  // the hint box while the box was up
};

// The main dialog as the logic sees it: the version rows, the Update button, the hint box and
// every message box. A box answers by the script (the first button when nothing is scripted) and
// can run an action while it is open, as the real modal loop delivers device events then.
class RecordingView : public DialogView {
 public:
  struct Reply {
    std::optional<MessageAnswer> answer;
    std::function<void()> whileOpen;
  };

  explicit RecordingView(Timeline& timeline) : timeline_(timeline) {}

  void Script(Reply reply) { script_.push_back(std::move(reply)); }

  void ShowVersions(const VersionRows& shown) override {
    rows = shown;
    if (shown.unitLabel) {
      unitLabel = *shown.unitLabel;
    }
    ++versionsShown;
  }
  void EnableUpdate(bool on) override { updateEnabled = on; }
  void SetHint(std::wstring_view text) override { hint = text; }
  void AppendHint(std::wstring_view text) override { hint += text; }

  MessageAnswer ShowMessage(std::wstring_view text, std::wstring_view caption, MessageIcon icon,
                            MessageButtons buttons) override {
    messages.push_back({std::wstring(text), std::wstring(caption), icon, buttons, hint});
    timeline_.Note("message box");
    Reply reply;
    if (!script_.empty()) {
      reply = std::move(script_.front());
      script_.pop_front();
    }
    if (reply.whileOpen) {
      reply.whileOpen();
    }
    if (reply.answer) {
      return *reply.answer;
    }
    return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
  }

  bool ScriptUsedUp() const { return script_.empty(); }

  // The rows last shown (nothing shown yet: none, disabled) and the unit label as it reads now.
  std::optional<VersionRows> rows;
  std::wstring unitLabel;
  int versionsShown = 0;
  // The Update button; nullopt until the logic first sets it.
  std::optional<bool> updateEnabled;
  std::wstring hint;
  std::vector<ShownMessage> messages;

 private:
  Timeline& timeline_;
  std::deque<Reply> script_;
};
