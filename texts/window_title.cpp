#include "texts/window_title.h"

#include "update/firmware_package.h"

std::wstring MainWindowTitle() {
  // The model and the carried version; the empty last part leaves the trailing space users have
  // always seen.
  return std::wstring(MAKER_NAME) + L" " + SUPPORTED_MODEL_NAME + L" FW Updater " +
         FirmwareVersionText() + L" ";
}
