// How the two doubles read the simulated bus and report back to the driver (see hid_bus.h).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/e2e/hid_bus.h"

namespace e2e {

// The bus key of this process, or empty when the program was not started by the driver.
inline std::wstring OwnBusKey() {
  wchar_t bus[128];
  DWORD n = GetEnvironmentVariableW(kBusEnvironmentVariable, bus, 128);
  if (n == 0 || n >= 128)
    return {};
  return BusKeyPath(bus);
}

// Restores GetLastError on scope exit: the doubles' bookkeeping must not disturb the error
// value the program reads after a call.
class KeepLastError {
 public:
  KeepLastError() : error_(GetLastError()) {}
  ~KeepLastError() { SetLastError(error_); }
  KeepLastError(const KeepLastError&) = delete;
  KeepLastError& operator=(const KeepLastError&) = delete;

 private:
  DWORD error_;
};

class BusKey {
 public:
  BusKey() {
    std::wstring path = OwnBusKey();
    if (!path.empty() &&
        RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE,
                        nullptr, &key_, nullptr) != ERROR_SUCCESS) {
      key_ = nullptr;
    }
  }
  ~BusKey() {
    if (key_ != nullptr)
      RegCloseKey(key_);
  }
  BusKey(const BusKey&) = delete;
  BusKey& operator=(const BusKey&) = delete;

  bool valid() const { return key_ != nullptr; }

  DWORD ReadDword(const wchar_t* name) const {
    DWORD value = 0, size = sizeof value, type = 0;
    if (key_ == nullptr ||
        RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD) {
      return 0;
    }
    return value;
  }
  void WriteDword(const wchar_t* name, DWORD value) const {
    if (key_ != nullptr) {
      RegSetValueExW(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }
  }
  std::vector<wchar_t> ReadRaw(const wchar_t* name, DWORD wantedType) const {
    DWORD size = 0, type = 0;
    if (key_ == nullptr ||
        RegQueryValueExW(key_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != wantedType) {
      return {};
    }
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
    if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS) {
      return {};
    }
    return data;
  }
  void WriteString(const wchar_t* name, const std::wstring& value) const {
    if (key_ != nullptr) {
      RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
  }

 private:
  HKEY key_ = nullptr;
};

inline std::vector<BusDevice> ReadBusDevices() {
  BusKey key;
  std::vector<BusDevice> devices;
  std::vector<wchar_t> raw = key.ReadRaw(L"Devices", REG_MULTI_SZ);
  for (const wchar_t* p = raw.data(); !raw.empty() && *p != L'\0'; p += std::wcslen(p) + 1) {
    BusDevice d;
    if (ParseBusDevice(p, d))
      devices.push_back(d);
  }
  return devices;
}

inline bool EnumerationFails() {
  return BusKey().ReadDword(L"EnumerationFails") != 0;
}

inline void AdjustCounter(const wchar_t* name, int delta) {
  BusKey key;
  key.WriteDword(name, static_cast<DWORD>(static_cast<int>(key.ReadDword(name)) + delta));
}

// Records a call that breaks the API contract, for the driver to fail the test with.
inline void ReportMisuse(const std::wstring& what) {
  BusKey key;
  std::vector<wchar_t> raw = key.ReadRaw(L"Misuse", REG_SZ);
  std::wstring text = raw.empty() ? std::wstring() : std::wstring(raw.data());
  key.WriteString(L"Misuse", text + what + L"\n");
}

}  // namespace e2e
