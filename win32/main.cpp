#include <windows.h>

#include "carried_image_digest.h"

#include "dialog/dialog_logic.h"
#include "platform/win32/hid_library.h"
#include "platform/win32/win32_hid_transport.h"
#include "platform/win32/win32_record_file.h"
#include "platform/win32/win32_unit_claims.h"
#include "platform/win32/win32_waiter.h"
#include "protocol/claiming_transport.h"
#include "protocol/unit_link.h"
#include "texts/text_encoding.h"
#include "update/firmware_package.h"
#include "update/update_record.h"
#include "win32/main_dialog.h"
#include "win32/resource_access.h"
#include "win32/system_libraries.h"
#include "win32/win32_dialog_view.h"
#include "win32/win32_progress_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Every static import is a known DLL; whatever is loaded from here on comes from System32.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // The transfer pumps no messages for ~46 s; a ghost window would offer to kill it mid-write.
  DisableProcessWindowsGhosting();

  const LANGID language = ChooseUiLanguage();
  const ResourceCatalogue texts(instance, language);
  CommonControls commonControls;
  if (!commonControls.Load()) {
    ReportStartFailure(texts, L"comctl32.dll", GetLastError());
    return 1;
  }
  // Without hid.dll no unit could ever be found; say so rather than show "no unit found".
  HidLibrary hid;
  if (!hid.Load()) {
    ReportStartFailure(texts, L"hid.dll", GetLastError());
    return 1;
  }

  // The program's whole state, built once here and owned by this frame for the whole run: the
  // one link to the unit (closed: no unit yet), the dialog's view and logic, and what the dialog
  // itself holds (its notification handle, row brush and logo).
  Win32Waiter waiter;
  Win32HidTransport hidTransport(hid);
  // Each unit is claimed before anything is sent to it: a second copy of the program, or another
  // program that claims units, leaves it alone while this one holds it.
  Win32UnitClaims claims;
  ClaimingTransport transport(hidTransport, claims);
  UnitLink link(transport, waiter);
  Win32DialogView view;
  Win32ProgressWindow progress(instance, view);
  // The record of each update, kept in the user's local application data.
  Win32WallClock wallClock;
  Win32RecordFile records(Win32RecordFilePath());
  UpdateRecorder recorder(wallClock, records, {"windows", Utf8FromWide(FirmwareVersionText())});
  DialogLogic logic({view, link, texts, progress, waiter, &recorder},
                    CarriedFirmware{CarriedImage(instance), CARRIED_IMAGE_SHA256});
  MainDialogState state{instance, hid, texts, view, logic, link, {}, {}, {}};

  const DLGTEMPLATE* dialog = MainDialogTemplate(instance);
  const INT_PTR ended = dialog == nullptr
                            ? -1
                            : DialogBoxIndirectParamW(instance, dialog, nullptr, &MainDialogProc,
                                                      reinterpret_cast<LPARAM>(&state));
  if (ended == -1) {
    // No window to show anything in: say so in a box of its own, and fail the run.
    const DWORD error = dialog == nullptr ? ERROR_RESOURCE_NAME_NOT_FOUND : GetLastError();
    ReportStartFailure(texts, texts.Text(IDS_WINDOW_FAILED), error);
    return 1;
  }
  return 0;
}
