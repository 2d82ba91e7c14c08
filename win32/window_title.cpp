#include "win32/window_title.h"

#include "update/firmware_package.h"

std::wstring MainWindowTitle() {
  // The template's own title is replaced by the model and the carried version; the empty last
  // part leaves the trailing space users have always seen.
  return std::wstring(L"TALVERO ") + SUPPORTED_MODEL_NAME + L" FW Updater " +
         FirmwareVersionText() + L" ";
}
