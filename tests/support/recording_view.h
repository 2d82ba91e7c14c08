#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/timeline.h"
#include "ui/dialog_view.h"

struct ShownMessage {
  std::wstring text;
  std::wstring caption;
  MessageIcon icon;
  MessageButtons buttons;
  std::wstring hintWhenShown;  // the hint box while the box was up
};

// The main dialog as the logic sees it: item texts, enabled states, the hint box and every
// message box. A box answers by the script (the first button when nothing is scripted) and can
// run an action while it is open, as the real modal loop delivers device events then.
class RecordingView : public DialogView {
 public:
  struct Reply {
    std::optional<MessageAnswer> answer;
    std::function<void()> whileOpen;
  };

  explicit RecordingView(Timeline& timeline) : timeline_(timeline) {}

  void Script(Reply reply) { script_.push_back(std::move(reply)); }

  void SetItemText(int item, std::wstring_view text) override { itemText[item] = text; }
  void EnableItem(int item, bool on) override { enabled[item] = on; }
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

  // Items never touched read as nothing set.
  std::wstring Item(int item) const {
    const auto it = itemText.find(item);
    return it == itemText.end() ? std::wstring() : it->second;
  }
  std::optional<bool> Enabled(int item) const {
    const auto it = enabled.find(item);
    return it == enabled.end() ? std::nullopt : std::optional<bool>(it->second);
  }
  bool ScriptUsedUp() const { return script_.empty(); }

  std::map<int, std::wstring> itemText;
  std::map<int, bool> enabled;
  std::wstring hint;
  std::vector<ShownMessage> messages;

 private:
  Timeline& timeline_;
  std::deque<Reply> script_;
};
