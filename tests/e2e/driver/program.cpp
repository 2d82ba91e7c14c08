#include "tests/e2e/driver/program.h"

#include <dbt.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "tests/e2e/hid_bus.h"

namespace e2e {

namespace {

constexpr GUID kHidGuid = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

std::wstring ClassOf(HWND w) {
  wchar_t name[64] = {};
  GetClassNameW(w, name, 64);
  return name;
}

struct EnumContext {
  DWORD pid;
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindow(HWND w, LPARAM context) {
  auto* c = reinterpret_cast<EnumContext*>(context);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid == c->pid)
    c->windows.push_back(w);
  return TRUE;
}

std::vector<HWND> TopLevelWindows(DWORD pid) {
  EnumContext c{pid, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&c));
  return c.windows;
}

void SetString(const std::wstring& key, const wchar_t* name, const wchar_t* value) {
  HKEY k;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k,
                      nullptr) == ERROR_SUCCESS) {
    RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
  }
}

// WM_GETTEXT bounded in time; the program answers only while it runs a message loop.
bool TextOf(HWND w, std::wstring& out, DWORD timeoutMs) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(w, WM_GETTEXTLENGTH, 0, 0, SMTO_BLOCK, timeoutMs, &length))
    return false;
  std::vector<wchar_t> buffer(length + 2, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(w, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                           SMTO_BLOCK, timeoutMs, &copied)) {
    return false;
  }
  out.assign(buffer.data(), wcsnlen(buffer.data(), buffer.size()));
  return true;
}

}  // namespace

AsyncSend::AsyncSend(HWND window, UINT message, WPARAM wParam, std::vector<std::uint8_t> data,
                     std::string description)
    : state_(std::make_shared<State>()), description_(std::move(description)) {
  state_->data = std::move(data);
  thread_ = std::thread([state = state_, window, message, wParam] {
    DWORD_PTR r = 0;
    LPARAM l = state->data.empty() ? 0 : reinterpret_cast<LPARAM>(state->data.data());
    // Long enough for any handler with a box the driver answers; the caller bounds its wait.
    SendMessageTimeoutW(window, message, wParam, l, SMTO_NORMAL, 300000, &r);
    state->done = true;
  });
}

AsyncSend::~AsyncSend() {
  // Joined already, or the scenario gave up on it: a short grace for a handler that is just
  // returning, then the thread is left to end with the program (it holds its own state).
  const double deadline = NowMs() + 2000;
  while (!done() && NowMs() < deadline)
    Sleep(10);  // polls the helper's flag; the bound is the deadline above
  if (!thread_.joinable())
    return;
  if (done()) {
    thread_.join();
  } else {
    std::printf("    (left unanswered: %s; its sending thread ends with the program)\n",
                description_.c_str());
    std::fflush(stdout);
    thread_.detach();
  }
}

void AsyncSend::Join(Checks& checks, double timeoutMs, const std::string& what,
                     Checks::Where where) {
  WaitUntil(
      checks, timeoutMs, what + " (" + description_ + " still unanswered)",
      [this] { return done(); }, 10, where);
  thread_.join();
}

Program::Program(Checks& checks, std::wstring exePath, std::wstring busName)
    : checks_(checks), exePath_(std::move(exePath)), busName_(std::move(busName)) {}

Program::~Program() {
  End();
}

std::string Program::End() {
  if (!Running())
    return {};
  TerminateProcess(process_.get(), 99);
  if (WaitForSingleObject(process_.get(), 10000) != WAIT_OBJECT_0)
    return "the program (process " + std::to_string(pid_) +
           ") did not end within 10 s of its termination";
  return {};
}

void Program::ConfigureWine(const std::wstring& exePath, bool unmanaged) {
  std::wstring exe = exePath.substr(exePath.find_last_of(L"\\/") + 1);
  std::wstring base = L"Software\\Wine\\AppDefaults\\" + exe;
  // The doubles in system32 replace Wine's own hid and setupapi for this program only.
  SetString(base + L"\\DllOverrides", L"hid", L"native");
  SetString(base + L"\\DllOverrides", L"setupapi", L"native");
  // Without a window manager Wine waits 2 s whenever a managed window hides.
  if (unmanaged)
    SetString(base + L"\\X11 Driver", L"Managed", L"N");
}

std::wstring Program::recordsRoot() const {
  wchar_t folder[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", folder, MAX_PATH);
  const std::wstring base =
      length == 0 || length >= MAX_PATH ? std::wstring(L"C:\\") : std::wstring(folder, length);
  return base + L"\\e2e-records\\" + busName_;
}

void Program::Start() {
  // The environment block carries the bus name to the doubles inside the program, and the
  // program's own records folder.
  static constexpr wchar_t kLocalAppData[] = L"LOCALAPPDATA=";
  std::wstring block;
  if (wchar_t* env = GetEnvironmentStringsW()) {
    for (const wchar_t* p = env; *p != L'\0'; p += wcslen(p) + 1) {
      if (_wcsnicmp(p, kBusEnvironmentVariable, wcslen(kBusEnvironmentVariable)) == 0 ||
          _wcsnicmp(p, kLocalAppData, wcslen(kLocalAppData)) == 0)
        continue;
      block.append(p);
      block.push_back(L'\0');
    }
    FreeEnvironmentStringsW(env);
  }
  block += std::wstring(kBusEnvironmentVariable) + L"=" + busName_;
  block.push_back(L'\0');
  block += kLocalAppData + recordsRoot();
  block.push_back(L'\0');
  block.push_back(L'\0');

  // Wine writes the program's debug notes to the driver's own Unix stderr (see Session).
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring commandLine = L"\"" + exePath_ + L"\"";
  if (!CreateProcessW(exePath_.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                      CREATE_UNICODE_ENVIRONMENT, block.data(), nullptr, &si, &pi)) {
    checks_.Abort("CreateProcessW failed with " + std::to_string(GetLastError()) + " for " +
                  Narrow(exePath_));
  }
  CloseHandle(pi.hThread);
  process_.reset(pi.hProcess);
  pid_ = pi.dwProcessId;
}

std::string Program::ExitCodeText() const {
  DWORD code = 0;
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lx",
                GetExitCodeProcess(process_.get(), &code) ? code : 0xFFFFFFFFul);
  return text;
}

bool Program::Running() const {
  return process_.valid() && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

HWND Program::FindDialog(Checks::Where where) {
  if (!Running()) {
    checks_.Abort("the program ended before its dialog appeared, exit code " + ExitCodeText(),
                  where);
  }
  for (HWND w : TopLevelWindows(pid_)) {
    if (ClassOf(w) == L"#32770" && GetWindow(w, GW_OWNER) == nullptr) {
      dialog_ = w;
      return w;
    }
  }
  return nullptr;
}

void Program::WaitForDialogWindow(double timeoutMs, Checks::Where where) {
  WaitUntil(
      checks_, timeoutMs, "the main dialog window to exist",
      [&] { return FindDialog(where) != nullptr; }, 10, where);
}

void Program::WaitForDialog(double timeoutMs, Checks::Where where) {
  WaitUntil(
      checks_, timeoutMs, "the main dialog to appear",
      [&] {
        const HWND dialog = FindDialog(where);
        return dialog != nullptr && IsWindowVisible(dialog) && Responds(1000);
      },
      10, where);
}

bool Program::Responds(DWORD timeoutMs) const {
  DWORD_PTR r = 0;
  return dialog_ != nullptr &&
         SendMessageTimeoutW(dialog_, WM_NULL, 0, 0, SMTO_BLOCK, timeoutMs, &r) != 0;
}

std::wstring Program::Title() const {
  wchar_t title[512] = {};
  GetWindowTextW(dialog_, title, 512);
  return title;
}

std::wstring Program::ItemText(int id) const {
  HWND item = GetDlgItem(dialog_, id);
  if (item == nullptr)
    checks_.Abort("dialog item " + std::to_string(id) + " does not exist");
  std::wstring text;
  if (!TextOf(item, text, 5000)) {
    checks_.Abort("the program did not answer WM_GETTEXT for item " + std::to_string(id) +
                  " within 5 s");
  }
  return text;
}

bool Program::ItemEnabled(int id) const {
  HWND item = GetDlgItem(dialog_, id);
  if (item == nullptr)
    checks_.Abort("dialog item " + std::to_string(id) + " does not exist");
  return IsWindowEnabled(item) != FALSE;
}

void Program::PressButton(int id) {
  PostMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog_, id)));
}

std::vector<HWND> Program::OwnedBoxes() const {
  std::vector<HWND> boxes;
  for (HWND w : TopLevelWindows(pid_)) {
    if (w != dialog_ && ClassOf(w) == L"#32770" && GetWindow(w, GW_OWNER) == dialog_ &&
        IsWindowVisible(w)) {
      boxes.push_back(w);
    }
  }
  return boxes;
}

HWND Program::ProgressWindow() const {
  for (HWND w : TopLevelWindows(pid_)) {
    if (ClassOf(w) == L"msctls_progress32")
      return w;
  }
  return nullptr;
}

MessageBoxInfo Program::ReadBox(HWND box) const {
  MessageBoxInfo info;
  info.window = box;
  wchar_t caption[512] = {};
  GetWindowTextW(box, caption, 512);
  info.caption = caption;
  HWND text = GetDlgItem(box, 0xFFFF);
  if (text == nullptr || !TextOf(text, info.text, 5000)) {
    checks_.Abort("cannot read the text of the message box \"" + Narrow(info.caption) + "\"");
  }
  for (int id : {IDOK, IDCANCEL, IDYES, IDNO}) {
    HWND b = GetDlgItem(box, id);
    if (b == nullptr || !IsWindowVisible(b))
      continue;
    info.buttons.push_back(id);
    if ((GetWindowLongW(b, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON)
      info.defaultButton = id;
  }
  return info;
}

MessageBoxInfo Program::WaitForBox(double timeoutMs, const std::string& what, Checks::Where where) {
  HWND found = nullptr;
  WaitUntil(
      checks_, timeoutMs, what,
      [&] {
        if (!Running())
          checks_.Abort("the program ended while waiting for " + what, where);
        std::vector<HWND> boxes = OwnedBoxes();
        if (boxes.size() > 1)
          checks_.Abort("more than one message box is open", where);
        found = boxes.empty() ? nullptr : boxes.front();
        // A box is ready once its own loop answers.
        DWORD_PTR r = 0;
        return found != nullptr && SendMessageTimeoutW(found, WM_NULL, 0, 0, SMTO_BLOCK, 1000, &r);
      },
      10, where);
  return ReadBox(found);
}

void Program::AnswerBox(const MessageBoxInfo& box, int button, Checks::Where where) {
  HWND b = GetDlgItem(box.window, button);
  if (b == nullptr)
    checks_.Abort("the box has no button " + std::to_string(button), where);
  PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(b));
  WaitUntil(
      checks_, 10000, "the message box to close", [&] { return !IsWindow(box.window); }, 10, where);
}

void Program::WaitNoBox(double timeoutMs, const std::string& what, Checks::Where where) {
  WaitUntil(
      checks_, timeoutMs, what, [&] { return OwnedBoxes().empty() && Responds(1000); }, 10, where);
}

std::unique_ptr<AsyncSend> Program::SendDeviceChange(WPARAM code, const std::wstring& path) {
  const std::size_t size =
      offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + (path.size() + 1) * sizeof(wchar_t);
  std::vector<std::uint8_t> data(size, 0);
  auto* b = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(data.data());
  b->dbcc_size = static_cast<DWORD>(size);
  b->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  b->dbcc_classguid = kHidGuid;
  std::memcpy(b->dbcc_name, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
  char description[48];
  std::snprintf(description, sizeof description, "WM_DEVICECHANGE 0x%04x for ",
                static_cast<unsigned>(code));
  return std::make_unique<AsyncSend>(dialog_, WM_DEVICECHANGE, code, std::move(data),
                                     description + Narrow(path));
}

DWORD Program::WaitExit(double timeoutMs) {
  if (WaitForSingleObject(process_.get(), static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
    checks_.Abort("the program did not end within " + std::to_string(static_cast<int>(timeoutMs)) +
                  " ms");
  }
  DWORD code = 0;
  GetExitCodeProcess(process_.get(), &code);
  return code;
}

void Program::Close(double timeoutMs) {
  PressButton(IDCANCEL);
  checks_.ExpectEq(WaitExit(timeoutMs), 0, "exit code after Close");
}

}  // namespace e2e
