// Whether every text the program can show in its main dialog fits its control, measured as the
// control draws it: dialog template 110 is taken from the built program and created hidden in
// this process, its texts are set from the string tables in each language as the program sets
// them at start-up, then every text the program may put into a control is set in turn and
// measured with the control's own font and wrapping against its client rectangle. A static
// control wraps a text that is too wide at a space or hyphen and shows only what fits in its
// height, and every control clips what does not fit: either way the label loses words.
//
// The languages are every one the program's string tables hold, and the pseudo-language (each
// text about 40 % longer, accented) that only this test carries in its own string tables: what
// fits with it leaves room for a language the catalogue does not have yet.
//
// Run under Wine with Windows' dialog font metrics (fonts-wine in the prefix) at several desktop
// DPI by the end-to-end harness (tests/e2e/release_runs.cmake).
//
// usage: dialog_fit_test <program.exe> <expected DPI> [GoogleTest options]
#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "texts/message_catalogue.h"
#include "texts/window_title.h"
#include "win32/dialog_layout.h"
#include "win32/dpi_scale.h"
#include "win32/resource_access.h"
#include "win32/string_block.h"
#include "win32/win32_dialog_view.h"

namespace {

std::wstring g_program;
int g_expectedDpi = 0;
HMODULE g_module = nullptr;

// One language's string tables: in the program, or in this test (the pseudo-language).
struct UiLanguage {
  std::string name;
  HMODULE module;
  LANGID id;
};

void PrintTo(const UiLanguage& ui, std::ostream* out) {
  *out << ui.name;
}

// The languages of the string block that holds the dialog's own texts in `module`.
std::vector<LANGID> StringTableLanguages(HMODULE module) {
  std::vector<LANGID> languages;
  EnumResourceLanguagesW(
      module, RT_STRING, MAKEINTRESOURCEW(StringBlockName(IDS_DIALOG_CLOSE)),
      [](HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) -> BOOL {
        reinterpret_cast<std::vector<LANGID>*>(found)->push_back(language);
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&languages));
  return languages;
}

std::string Hex4(LANGID id) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", id);
  return text;
}

// The program's languages, then those only this test carries. Called once the program is loaded.
std::vector<UiLanguage> Languages() {
  std::vector<UiLanguage> languages;
  const std::vector<LANGID> program = StringTableLanguages(g_module);
  for (const LANGID id : program) {
    languages.push_back({"Program_" + Hex4(id), g_module, id});
  }
  const HMODULE test = GetModuleHandleW(nullptr);
  for (const LANGID id : StringTableLanguages(test)) {
    if (std::find(program.begin(), program.end(), id) == program.end()) {
      languages.push_back({"TestOnly_" + Hex4(id), test, id});
    }
  }
  return languages;
}

// The texts the program sets at run time, besides each control's start-up text: the unit names
// in the unit row and the version forms of texts/version_text.cpp (the widest of each).
std::map<int, std::vector<std::wstring>> RunTimeTexts() {
  const std::vector<std::wstring> versions = {L"0.0.0", L"255.255"};
  std::vector<std::wstring> escVersions = versions;
  escVersions.push_back(L"----------");
  return {
      {IDC_LABEL_UNIT, {L"TORVEX", L"MAVIRA"}},
      {IDC_VERSION_UNIT, versions},
      {IDC_VERSION_BOOTLOADER, versions},
      {IDC_VERSION_ESC, escVersions},
  };
}

// The room a text needs and the room it has, in pixels.
struct Fit {
  SIZE need{};
  SIZE have{};
  bool fits() const { return need.cx <= have.cx && need.cy <= have.cy; }
};

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

// Measures `text` as `control` would draw it, with its font, wrapping and margins.
Fit Measure(HWND control, const std::wstring& text) {
  RECT client{};
  GetClientRect(control, &client);
  const LONG style = GetWindowLongW(control, GWL_STYLE);
  const bool isStatic = _wcsicmp(ClassOf(control).c_str(), L"Static") == 0;

  HDC dc = GetDC(control);
  const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  const HGDIOBJ previous = SelectObject(dc, font != nullptr ? font : GetStockObject(SYSTEM_FONT));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);

  Fit fit;
  fit.have = {client.right, client.bottom};
  UINT format = DT_CALCRECT | DT_EXPANDTABS;
  if (isStatic) {
    // A static control draws into its whole client area, wrapping words.
    const LONG type = style & SS_TYPEMASK;
    format |= DT_WORDBREAK | (type == SS_RIGHT ? DT_RIGHT : type == SS_CENTER ? DT_CENTER : 0);
    if (style & SS_NOPREFIX) {
      format |= DT_NOPREFIX;
    }
  } else if ((style & BS_TYPEMASK) == BS_GROUPBOX) {
    // The caption sits on the frame, 7 pixels (at 96 DPI) in from either side.
    format |= DT_SINGLELINE;
    const int inset = MulDiv(7, g_expectedDpi, 96);
    fit.have = {client.right - 2 * inset, metrics.tmHeight};
  } else {
    // A push button draws its label inside its 3-D edge and, for the default button, a 1-pixel
    // border; the focus rectangle needs one pixel more.
    format |= DT_SINGLELINE;
    const int edgeX = GetSystemMetrics(SM_CXEDGE) + 1;
    const int edgeY = GetSystemMetrics(SM_CYEDGE) + 1;
    fit.have = {client.right - 2 * edgeX, client.bottom - 2 * edgeY};
  }
  RECT needed = {0, 0, fit.have.cx, 0};
  DrawTextW(dc, text.c_str(), -1, &needed, format);
  fit.need = {needed.right - needed.left, needed.bottom - needed.top};

  SelectObject(dc, previous);
  ReleaseDC(control, dc);
  return fit;
}

INT_PTR CALLBACK QuietDialog(HWND, UINT message, WPARAM, LPARAM) {
  return message == WM_INITDIALOG ? TRUE : FALSE;
}

// The main dialog, created from the program's template but never shown, with the texts that the
// program sets at start-up in one language.
class MainDialog {
 public:
  explicit MainDialog(const UiLanguage& ui) : texts_(ui.module, ui.id) {
    const DLGTEMPLATE* dialogTemplate = MainDialogTemplate(g_module);
    if (dialogTemplate != nullptr) {
      window_ = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), dialogTemplate, nullptr,
                                           &QuietDialog, 0);
    }
    if (window_ != nullptr) {
      Win32DialogView view;
      view.Attach(window_);
      view.ShowCatalogueTexts(texts_);
    }
  }
  ~MainDialog() {
    if (window_ != nullptr) {
      DestroyWindow(window_);
    }
  }
  MainDialog(const MainDialog&) = delete;
  MainDialog& operator=(const MainDialog&) = delete;

  const Catalogue& texts() const { return texts_; }
  HWND window() const { return window_; }

  std::vector<HWND> Controls() const {
    std::vector<HWND> controls;
    for (HWND child = GetWindow(window_, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
      controls.push_back(child);
    }
    return controls;
  }

 private:
  ResourceCatalogue texts_;
  HWND window_ = nullptr;
};

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    out += c < 0x80 ? static_cast<char>(c) : '?';
  }
  return out;
}

// "text" in quotes, ASCII only. Appended piecewise: GCC 12 warns falsely (-Wrestrict) about
// operator+ on a temporary here.
std::string Quoted(const std::wstring& text) {
  std::string quoted = "\"";
  quoted += Narrow(text);
  quoted += '"';
  return quoted;
}

std::wstring TextOf(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return text;
}

class DialogFit : public ::testing::TestWithParam<UiLanguage> {};

TEST_P(DialogFit, EveryTextFitsItsControl) {
  const UiLanguage& ui = GetParam();
  MainDialog dialog(ui);
  ASSERT_NE(dialog.window(), nullptr) << "template 110 could not be created";
  const auto runTime = RunTimeTexts();

  int measured = 0;
  for (HWND control : dialog.Controls()) {
    // The hint box scrolls; every other control must show its whole text.
    if (_wcsicmp(ClassOf(control).c_str(), L"Edit") == 0) {
      continue;
    }
    const int id = GetDlgCtrlID(control);
    std::vector<std::wstring> texts = {TextOf(control)};
    // Every control but the version values has a text from the string tables by now.
    if (id != IDC_VERSION_UNIT && id != IDC_VERSION_BOOTLOADER && id != IDC_VERSION_ESC) {
      EXPECT_FALSE(texts.front().empty()) << ui.name << " control " << id << " has no text";
    }
    if (const auto more = runTime.find(id); more != runTime.end()) {
      texts.insert(texts.end(), more->second.begin(), more->second.end());
    }
    for (const std::wstring& text : texts) {
      SetWindowTextW(control, text.c_str());
      const Fit fit = Measure(control, text);
      ++measured;
      std::printf("  %s %5d %-40s needs %3ldx%-3ld has %3ldx%-3ld%s\n", ui.name.c_str(), id,
                  Quoted(text).c_str(), fit.need.cx, fit.need.cy, fit.have.cx, fit.have.cy,
                  fit.fits() ? "" : "  DOES NOT FIT");
      EXPECT_TRUE(fit.fits()) << ui.name << " control " << id << " " << Quoted(text) << " needs "
                              << fit.need.cx << "x" << fit.need.cy << " pixels, has " << fit.have.cx
                              << "x" << fit.have.cy;
    }
  }
  // Nine labels, group box and buttons with their run-time texts: nothing was skipped silently.
  EXPECT_GE(measured, 19);
}

// The width of `text` in the caption font.
int CaptionTextWidth(const std::wstring& text) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  const HFONT font = CreateFontIndirectW(&metrics.lfCaptionFont);
  HDC dc = GetDC(nullptr);
  const HGDIOBJ previous = SelectObject(dc, font);
  SIZE need{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &need);
  SelectObject(dc, previous);
  ReleaseDC(nullptr, dc);
  DeleteObject(font);
  return need.cx;
}

// The title the program sets fits the caption beside the icon and the close button.
TEST_P(DialogFit, TitleFitsTheCaption) {
  MainDialog dialog(GetParam());
  ASSERT_NE(dialog.window(), nullptr);
  RECT frame{};
  GetWindowRect(dialog.window(), &frame);
  // Frame on both sides, the small icon, the close button and a margin of one button.
  const int have = (frame.right - frame.left) - 2 * GetSystemMetrics(SM_CXFIXEDFRAME) -
                   GetSystemMetrics(SM_CXSMICON) - 2 * GetSystemMetrics(SM_CXSIZE);
  const std::wstring title = MainWindowTitle();
  EXPECT_LE(CaptionTextWidth(title), have) << Quoted(title);
}

// The progress window's title (it has no icon or buttons) fits the window as it is sized at
// this DPI, within its frame, in the program's languages. The window keeps its 400 x 50 pixels
// whatever the language: a caption that does not fit is cut with an ellipsis by Windows, the bar
// below it shows the progress all the same, so the pseudo-language is not held to it.
TEST_P(DialogFit, ProgressTitleFitsItsWindow) {
  if (GetParam().module != g_module) {
    GTEST_SKIP() << "the pseudo-language's title may be cut; the window's size is fixed";
  }
  const std::wstring title =
      ResourceCatalogue(GetParam().module, GetParam().id).Text(IDS_TRANSFER_RUNNING);
  ASSERT_FALSE(title.empty());
  const int have = ScaleForDpi(PROGRESS_WINDOW_WIDTH, g_expectedDpi) -
                   2 * GetSystemMetrics(SM_CXFIXEDFRAME) - 2 * GetSystemMetrics(SM_CXEDGE);
  EXPECT_LE(CaptionTextWidth(title), have) << Quoted(title);
}

INSTANTIATE_TEST_SUITE_P(EveryLanguage, DialogFit, ::testing::ValuesIn(Languages()),
                         [](const auto& info) { return info.param.name; });

// The program has its two languages and this test the pseudo-language besides: a table that
// went missing would otherwise leave fewer cases above, silently.
TEST(StringTables, HoldTheCataloguesLanguagesAndThePseudoLanguage) {
  const std::vector<UiLanguage> languages = Languages();
  EXPECT_EQ(std::count_if(languages.begin(), languages.end(),
                          [](const UiLanguage& ui) { return ui.module == g_module; }),
            static_cast<std::ptrdiff_t>(BuiltInLanguages().size()));
  EXPECT_EQ(languages.size(), BuiltInLanguages().size() + 1);
}

// The desktop density is the one this run was set up for, so each run measures what it claims.
TEST(Screen, HasTheExpectedDpi) {
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSX), g_expectedDpi);
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), g_expectedDpi);
  ReleaseDC(nullptr, screen);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::printf("usage: dialog_fit_test <program.exe> <expected DPI> [GoogleTest options]\n");
    return 2;
  }
  // The program declares itself DPI-aware in its manifest; this process does the same by call,
  // so that both see the same metrics.
  SetProcessDPIAware();
  g_program = argv[1];
  g_expectedDpi = _wtoi(argv[2]);
  g_module = LoadLibraryExW(g_program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (g_module == nullptr) {
    std::printf("cannot load %ls (%lu)\n", g_program.c_str(), GetLastError());
    return 2;
  }
  // After the program is loaded: the languages to test are read from its string tables when
  // GoogleTest sets up the parameterised tests.
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
