// What Explorer and the loader read from the built program (run under Wine by CTest): the version
// resource in English and German, the manifest's version and its DPI awareness.
//
// usage: version_resource_test <program.exe> [GoogleTest options]
#include <windows.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "tests/win32/win32_test_main.h"
#include "update/firmware_package.h"

namespace {

// The program under test: the one argument the test run is given.
const std::wstring& Program() {
  static const std::wstring program =
      win32_test::Arguments().empty() ? std::wstring() : win32_test::Arguments().front();
  return program;
}

// "major.minor.0.0" from the C++ definition of the firmware version.
std::wstring VersionText() {
  return std::to_wstring(FIRMWARE_VERSION_MAJOR) + L"." + std::to_wstring(FIRMWARE_VERSION_MINOR) +
         L".0.0";
}

std::wstring FileName(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

class VersionResource : public ::testing::Test {
 protected:
  void SetUp() override {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(Program().c_str(), &ignored);
    ASSERT_NE(size, 0u) << "no version resource, error " << GetLastError();
    data_.resize(size);
    ASSERT_TRUE(GetFileVersionInfoW(Program().c_str(), 0, size, data_.data()));
  }

  // The value at `path`, or nullptr with its length 0.
  const void* Query(const std::wstring& path, UINT& length) {
    void* value = nullptr;
    length = 0;
    if (!VerQueryValueW(data_.data(), path.c_str(), &value, &length)) {
      return nullptr;
    }
    return value;
  }

  std::wstring String(const std::wstring& block, const wchar_t* name) {
    UINT length = 0;
    const auto* text =
        static_cast<const wchar_t*>(Query(L"\\StringFileInfo\\" + block + L"\\" + name, length));
    // The length counts the terminating zero.
    return text == nullptr || length == 0 ? std::wstring(L"(missing)")
                                          : std::wstring(text, length - 1);
  }

  std::vector<std::uint8_t> data_;
};

TEST_F(VersionResource, NumbersAreTheCarriedFirmwaresVersion) {
  UINT length = 0;
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(Query(L"\\", length));
  ASSERT_NE(fixed, nullptr);
  ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  const DWORD high = (DWORD{FIRMWARE_VERSION_MAJOR} << 16) | FIRMWARE_VERSION_MINOR;
  EXPECT_EQ(fixed->dwFileVersionMS, high);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, high);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);
  EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u) << "no debug or pre-release flag";
  EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

TEST_F(VersionResource, OffersEnglishAndGermanInUnicode) {
  struct Translation {
    WORD language;
    WORD codePage;
  };
  UINT length = 0;
  const auto* list = static_cast<const Translation*>(Query(L"\\VarFileInfo\\Translation", length));
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(length, 2 * sizeof(Translation));
  EXPECT_EQ(list[0].language, 0x0409);
  EXPECT_EQ(list[0].codePage, 1200);
  EXPECT_EQ(list[1].language, 0x0407);
  EXPECT_EQ(list[1].codePage, 1200);
}

TEST_F(VersionResource, NamesTheProductTheMakerAndTheFileInBothLanguages) {
  struct Block {
    const wchar_t* name;
    const wchar_t* productName;
    const wchar_t* description;
  };
  const Block blocks[] = {
      {L"040904b0", L"TALVERO PELORA firmware updater",
       L"Installs firmware into the TALVERO PELORA ESC"},
      {L"040704b0", L"TALVERO PELORA Firmware Updater",
       L"Installiert Firmware in den TALVERO PELORA Regler"},
  };
  for (const Block& block : blocks) {
    SCOPED_TRACE(testing::Message() << "block " << block.name);
    EXPECT_EQ(String(block.name, L"CompanyName"), L"TALVERO");
    EXPECT_EQ(String(block.name, L"ProductName"), block.productName);
    EXPECT_EQ(String(block.name, L"FileDescription"), block.description);
    EXPECT_EQ(String(block.name, L"FileVersion"), VersionText());
    EXPECT_EQ(String(block.name, L"ProductVersion"), VersionText());
    // The name the build gives the file, whatever a user renames it to later.
    EXPECT_EQ(String(block.name, L"OriginalFilename"), FileName(Program()));
    EXPECT_EQ(String(block.name, L"InternalName"), L"pelora-updater");
  }
}

// The program's manifest (resource 24/1), as the loader reads it.
class Manifest : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExW(Program().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module_, nullptr);
    const HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(1), RT_MANIFEST);
    ASSERT_NE(found, nullptr);
    const HGLOBAL loaded = LoadResource(module_, found);
    const auto* bytes = static_cast<const char*>(LockResource(loaded));
    ASSERT_NE(bytes, nullptr);
    text_.assign(bytes, SizeofResource(module_, found));
  }
  void TearDown() override {
    if (module_ != nullptr) {
      FreeLibrary(module_);
    }
  }

  HMODULE module_ = nullptr;
  std::string text_;
};

TEST_F(Manifest, AssemblyVersionIsTheFileVersion) {
  const std::wstring wide = VersionText();
  const std::string version(wide.begin(), wide.end());
  const std::size_t identity = text_.find("<assemblyIdentity");
  ASSERT_NE(identity, std::string::npos);
  const std::size_t end = text_.find("/>", identity);
  EXPECT_NE(text_.substr(identity, end - identity).find("version=\"" + version + "\""),
            std::string::npos)
      << text_.substr(identity, end - identity);
}

// Read through the loader's own activation-context parser, as Windows reads it at start-up: a
// misplaced namespace or element would leave the program DPI-unaware, stretched as a bitmap.
TEST(ManifestSettings, DeclareSystemDpiAwareness) {
  ACTCTXW request{};
  request.cbSize = sizeof(request);
  request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  request.lpSource = Program().c_str();
  request.lpResourceName = MAKEINTRESOURCEW(1);
  const HANDLE context = CreateActCtxW(&request);
  ASSERT_NE(context, INVALID_HANDLE_VALUE) << "error " << GetLastError();
  wchar_t value[16] = {};
  SIZE_T written = 0;
  const BOOL found =
      QueryActCtxSettingsW(0, context, L"http://schemas.microsoft.com/SMI/2005/WindowsSettings",
                           L"dpiAware", value, std::size(value), &written);
  ReleaseActCtx(context);
  ASSERT_TRUE(found) << "no dpiAware setting, error " << GetLastError();
  EXPECT_STREQ(value, L"true");
}

}  // namespace
