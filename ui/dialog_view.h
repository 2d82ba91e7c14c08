#pragma once

#include <string_view>

enum class MessageIcon { Information, Warning, Error };
enum class MessageButtons { Ok, OkCancel, YesNo };  // the first button is the default
enum class MessageAnswer { Ok, Cancel, Yes, No };

// What the logic may do to the main dialog. Item numbers are those of resources/resource_ids.h.
class DialogView {
 public:
  virtual ~DialogView() = default;
  virtual void SetItemText(int item, std::wstring_view text) = 0;
  virtual void EnableItem(int item, bool on) = 0;
  virtual void SetHint(std::wstring_view text) = 0;
  virtual void AppendHint(std::wstring_view text) = 0;
  // Modal: device events may be delivered to the logic while it is open. A box that cannot be
  // shown answers with the choice that goes no further.
  virtual MessageAnswer ShowMessage(std::wstring_view text, std::wstring_view caption,
                                    MessageIcon icon, MessageButtons buttons) = 0;
};
