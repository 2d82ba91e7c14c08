#pragma once

#include <cstdint>
#include <string_view>

#include "dialog/dialog_view.h"

// Everything the worker tells the page, which only renders it (web/page/page.js). Texts go as
// they are; the page turns "\r\n" into line breaks.
class PageChannel {
 public:
  // A text of the page that the dialog template holds on Windows (title, captions, buttons).
  void PageText(std::string_view key, std::wstring_view text);
  // The chooser's filter: the maker's vendor ID with each of the unit's product IDs.
  void DeviceFilter(std::uint16_t vendorId, std::uint16_t firstProductId,
                    std::uint16_t secondProductId);
  void Versions(const VersionRows& rows);
  void UpdateEnabled(bool on);
  void Hint(std::wstring_view text, bool append);
  void Message(std::wstring_view text, std::wstring_view caption, MessageIcon icon,
               MessageButtons buttons);
  void ProgressOpen(std::wstring_view title);
  void ProgressPosition(std::uint32_t percent);
  void ProgressClose();
  // From the Update press until its outcome is shown: the page locks its controls and asks
  // before it is left.
  void Busy(bool on);
  // One update's record (a JSON line), for the page to keep in its own storage.
  void Record(std::string_view line);
  // The start-up scan has been shown; tests and the user know the page is live.
  void Ready();
};
