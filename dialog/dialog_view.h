#pragma once

#include <optional>
#include <string>
#include <string_view>

enum class MessageIcon { Information, Warning, Error };
enum class MessageButtons { Ok, OkCancel, YesNo };  // the first button is the default
enum class MessageAnswer { Ok, Cancel, Yes, No };

// The three rows of installed versions as the dialog shows them.
struct VersionRows {
  bool enabled = false;
  // The unit row's label; left as it is when absent.
  std::optional<std::wstring> unitLabel;
  std::wstring unit;
  std::wstring bootloader;
  std::wstring esc;
};

// What the logic may do to the main dialog, named by what the user sees. Texts break lines
// with "\n"; a platform that needs another line break adds it.
class DialogView {
 public:
  virtual ~DialogView() = default;
  virtual void ShowVersions(const VersionRows& rows) = 0;
  virtual void EnableUpdate(bool on) = 0;
  virtual void SetHint(std::wstring_view text) = 0;
  virtual void AppendHint(std::wstring_view text) = 0;
  // Modal: device events may be delivered to the logic while it is open. A box that cannot be
  // shown answers with the choice that goes no further.
  virtual MessageAnswer ShowMessage(std::wstring_view text, std::wstring_view caption,
                                    MessageIcon icon, MessageButtons buttons) = 0;
};
