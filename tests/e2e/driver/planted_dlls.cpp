// DLLs planted beside the executable, as in a downloads folder, must never be loaded.
#include <cstdio>

#include "resources/resource_ids.h"
#include "tests/e2e/driver/hardening.h"
#include "tests/e2e/driver/program_copy.h"

namespace e2e {

namespace {

// setupapi.dll is not planted: on Windows it is a known DLL, always taken from System32, and
// under Wine (where it is not) the suite's own double stands in its place, so the row would show
// nothing about the program.
constexpr const wchar_t* kPlanted[] = {L"hid.dll", L"comctl32.dll", L"msimg32.dll", L"version.dll",
                                       L"uxtheme.dll"};

std::wstring DirectoryOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RunPlanted(Session& s) {
  Checks& k = s.checks();
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring probe = DirectoryOf(self) + L"\\e2e_planted_probe.dll";
  if (!Exists(probe))
    k.Abort("the probe DLL is missing: " + Narrow(probe));

  // Its own name gives the copy its own Wine settings: hid (the double) and comctl32 native
  // first, so that Wine takes a planted one whenever the program's search for it reaches the
  // folder (System32 holds the double and Wine's builtin stand-in). The other names keep Wine's
  // builtin first: forced native, Wine's own DLLs reach the folder before the program can act
  // (its user32 imports version.dll; its uxtheme delay-loads msimg32 and was seen to take the
  // planted one), so those rows would judge Wine. The import-list test keeps them out of the
  // program's static imports.
  ProgramCopy copy(s, L"planted", L"downloaded-updater.exe");
  const std::wstring& dir = copy.folder();
  HKEY overrides;
  if (RegCreateKeyExW(HKEY_CURRENT_USER,
                      L"Software\\Wine\\AppDefaults\\downloaded-updater.exe\\DllOverrides", 0,
                      nullptr, 0, KEY_WRITE, nullptr, &overrides, nullptr) == ERROR_SUCCESS) {
    const wchar_t order[] = L"native,builtin";
    RegSetValueExW(overrides, L"comctl32", 0, REG_SZ, reinterpret_cast<const BYTE*>(order),
                   sizeof order);
    RegCloseKey(overrides);
  }
  for (const wchar_t* name : kPlanted) {
    const std::wstring planted = dir + L"\\" + name;
    DeleteFileW((planted + L".loaded").c_str());
    k.Expect(CopyFileW(probe.c_str(), planted.c_str(), FALSE) != 0, "planting " + Narrow(name));
  }

  // The probe does leave its marker when it is loaded (else "no marker" would prove nothing).
  const std::wstring control = dir + L"\\control.dll";
  CopyFileW(probe.c_str(), control.c_str(), FALSE);
  DeleteFileW((control + L".loaded").c_str());
  if (HMODULE m = LoadLibraryW(control.c_str()))
    FreeLibrary(m);
  k.Expect(Exists(control + L".loaded"), "the probe should mark its own loading");

  // The copy runs as the user would start it from that folder, with a ready unit; reaching the
  // ready state shows it took the working hid.dll (the suite's double) from System32.
  copy.Run("planted-copy", [](Session& run) {
    run.Plug(ReadyUnit());
    run.program().Start();
    run.program().WaitForDialog();
    run.ExpectDialog(Msg(IDS_READY, run.lang()), true, {L"MAVIRA", L"1.2", L"1.5", L"3.2", true},
                     "start-up beside planted DLLs");
    run.CloseAndFinish();
  });
  for (const wchar_t* name : kPlanted) {
    const bool loaded = Exists(dir + L"\\" + name + L".loaded");
    std::printf("    planted %ls: %s\n", name, loaded ? "LOADED" : "not loaded");
    k.Expect(!loaded, "the planted " + Narrow(name) + " was loaded");
  }
  std::fflush(stdout);
  for (const wchar_t* name : kPlanted) {
    DeleteFileW((dir + L"\\" + name).c_str());
    DeleteFileW((dir + L"\\" + name + L".loaded").c_str());
  }
  for (const std::wstring& file : {control, control + L".loaded"})
    DeleteFileW(file.c_str());
}

}  // namespace

std::vector<Scenario> PlantedDllScenarios() {
  return {{"none-loaded-from-the-program-folder", RunPlanted}};
}

}  // namespace e2e
