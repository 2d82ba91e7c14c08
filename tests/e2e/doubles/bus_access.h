// How the two doubles read the simulated bus and report back to the driver (see hid_bus.h).
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "sim/rig_wire.h"
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
  std::vector<std::uint8_t> ReadBytes(const wchar_t* name, DWORD wantedType) const {
    DWORD size = 0, type = 0;
    if (key_ == nullptr ||
        RegQueryValueExW(key_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != wantedType || size == 0) {
      return {};
    }
    std::vector<std::uint8_t> data(size);
    if (RegQueryValueExW(key_, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) {
      return {};
    }
    data.resize(size);
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

// The devices on the bus now; none when the driver published none, or a damaged list.
inline std::vector<sim::Listing> ReadBusDevices() {
  const std::vector<std::uint8_t> raw = BusKey().ReadBytes(L"Devices", REG_BINARY);
  return sim::MessageReader(raw).Entries();
}

inline void AdjustCounter(const wchar_t* name, int delta) {
  BusKey key;
  key.WriteDword(name, static_cast<DWORD>(static_cast<int>(key.ReadDword(name)) + delta));
}

// Records a call that breaks the API contract, for the driver to fail the test with.
inline void ReportMisuse(const std::wstring& what) {
  BusKey key;
  const std::vector<std::uint8_t> raw = key.ReadBytes(L"Misuse", REG_SZ);
  std::wstring text(raw.size() / sizeof(wchar_t), L'\0');
  std::memcpy(text.data(), raw.data(), text.size() * sizeof(wchar_t));
  text.resize(std::wcslen(text.c_str()));
  key.WriteString(L"Misuse", text + what + L"\n");
}

}  // namespace e2e
