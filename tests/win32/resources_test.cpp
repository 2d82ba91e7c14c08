// Checks the resources compiled into the program (run under Wine by CTest): dialog template 110
// in English and German item by item, the string tables of both languages (umlauts included),
// icon group 123, logo bitmap 121, the carried image 146 and the manifest.
//
// usage: resources_test <program.exe> <image file>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <fstream>
#include <iterator>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "ui/win32/string_block.h"

namespace {

int failures = 0;

void Check(bool ok, const char* what, int line, const std::string& context = {}) {
  if (!ok) {
    ++failures;
    std::printf("  FAILED (line %d): %s %s\n", line, what, context.c_str());
  }
}
#define CHECK(condition) Check((condition), #condition, __LINE__)
#define CHECK_IN(condition, context) Check((condition), #condition, __LINE__, (context))

HMODULE program = nullptr;

std::span<const std::uint8_t> Resource(LPCWSTR type, LPCWSTR name, WORD language) {
  const HRSRC found = FindResourceExW(program, type, name, language);
  if (found == nullptr) {
    return {};
  }
  const HGLOBAL loaded = LoadResource(program, found);
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (data == nullptr) {
    return {};
  }
  return {static_cast<const std::uint8_t*>(data), SizeofResource(program, found)};
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    out += c < 0x80 ? static_cast<char>(c) : '?';
  }
  return out;
}

// Reads a DLGTEMPLATEEX: header, font, then the items.
class TemplateReader {
 public:
  explicit TemplateReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::uint16_t Word() {
    std::uint16_t value = 0;
    if (at_ + 2 <= bytes_.size()) {
      std::memcpy(&value, bytes_.data() + at_, 2);
    } else {
      broken_ = true;
    }
    at_ += 2;
    return value;
  }
  std::uint32_t Dword() {
    const std::uint32_t low = Word();
    return low | static_cast<std::uint32_t>(Word()) << 16;
  }
  std::int16_t Short() { return static_cast<std::int16_t>(Word()); }
  // sz_Or_Ord: a string, or 0xFFFF and an ordinal (returned as "#<n>").
  std::wstring NameOrOrdinal() {
    const std::uint16_t first = Word();
    if (first == 0xFFFF) {
      return L"#" + std::to_wstring(Word());
    }
    std::wstring text;
    for (std::uint16_t unit = first; unit != 0 && !broken_; unit = Word()) {
      text.push_back(static_cast<wchar_t>(unit));
    }
    return text;
  }
  void AlignDword() { at_ = (at_ + 3) & ~std::size_t{3}; }
  void Skip(std::size_t count) { at_ += count; }
  bool broken() const { return broken_ || at_ > bytes_.size(); }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
  bool broken_ = false;
};

// A predefined class by name in any case, or by the ordinal that rc.exe writes instead.
std::wstring ClassName(const std::wstring& nameOrOrdinal) {
  if (nameOrOrdinal == L"#128") {
    return L"button";
  }
  if (nameOrOrdinal == L"#129") {
    return L"edit";
  }
  if (nameOrOrdinal == L"#130") {
    return L"static";
  }
  std::wstring lower = nameOrOrdinal;
  for (wchar_t& c : lower) {
    c = static_cast<wchar_t>(towlower(c));
  }
  return lower;
}

struct Item {
  int id;
  const wchar_t* windowClass;
  const wchar_t* english;
  const wchar_t* german;
  short x, y, cx, cy;
  DWORD style;  // besides WS_CHILD | WS_VISIBLE
};

// The main dialog, in template order (also creation, tab and Z order).
const Item ITEMS[] = {
    {IDC_CLOSE, L"button", L"Close", L"Beenden", 157, 199, 50, 14,
     BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP},
    {IDC_UPDATE, L"button", L"Update", L"Update", 61, 199, 50, 14,
     BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED},
    {IDC_LABEL_UNIT, L"static", L"Firmware 1:", L"Firmware 1:", 22, 24, 72, 8, SS_LEFT | WS_GROUP},
    {IDC_LABEL_BOOTLOADER, L"static", L"Firmware 2:", L"Firmware 2:", 22, 37, 72, 8,
     SS_LEFT | WS_GROUP},
    {IDC_VERSION_UNIT, L"static", L"0.00.00", L"0.00.00", 94, 24, 46, 8, SS_RIGHT | WS_GROUP},
    {IDC_VERSION_BOOTLOADER, L"static", L"0.00.00", L"0.00.00", 94, 37, 46, 8, SS_RIGHT | WS_GROUP},
    {IDC_HINT, L"edit", L"", L"", 15, 89, 271, 101,
     ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_BORDER | WS_VSCROLL},
    {-1, L"static", L"Hint:", L"Hinweisfenster:", 15, 79, 60, 8, SS_LEFT | WS_GROUP},
    {IDC_VERSION_GROUP, L"button", L"Installed firmware version",
     L"Installierte Firmware Versionen", 15, 10, 135, 57, BS_GROUPBOX | WS_GROUP},
    {IDC_LABEL_ESC, L"static", L"Firmware 3:", L"Firmware 3:", 22, 50, 72, 8, SS_LEFT | WS_GROUP},
    {IDC_VERSION_ESC, L"static", L"0.00.00", L"0.00.00", 94, 50, 46, 8, SS_RIGHT | WS_GROUP},
};

struct Language {
  const char* name;
  WORD id;
  const wchar_t* title;
  bool german;
};

const Language LANGUAGES[] = {
    {"English (US)", MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), L"TALVERO firmware updater",
     false},
    {"German", MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), L"TALVERO Firmware Updater", true},
};

void DialogTemplateMatchesTheTable() {
  for (const Language& language : LANGUAGES) {
    std::printf("  %s\n", language.name);
    const auto bytes = Resource(RT_DIALOG, MAKEINTRESOURCEW(IDD_MAIN), language.id);
    CHECK_IN(!bytes.empty(), language.name);
    if (bytes.empty()) {
      continue;
    }
    TemplateReader in(bytes);
    CHECK(in.Word() == 1);       // dlgVer
    CHECK(in.Word() == 0xFFFF);  // DLGTEMPLATEEX signature
    in.Dword();                  // help ID
    CHECK(in.Dword() == 0);      // extended style
    CHECK(in.Dword() ==
          (DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU));
    const std::uint16_t count = in.Word();
    CHECK(count == std::size(ITEMS));
    CHECK(in.Short() == 0 && in.Short() == 0);
    CHECK(in.Short() == 300 && in.Short() == 228);
    CHECK(in.NameOrOrdinal().empty());  // no menu
    CHECK(in.NameOrOrdinal().empty());  // the standard dialog class
    CHECK(in.NameOrOrdinal() == language.title);
    CHECK(in.Word() == 8);  // points
    in.Word();              // weight
    in.Skip(2);             // italic, charset
    CHECK(in.NameOrOrdinal() == L"MS Shell Dlg");
    for (std::size_t i = 0; i < count && i < std::size(ITEMS) && !in.broken(); ++i) {
      const Item& item = ITEMS[i];
      const std::string where = "item " + std::to_string(item.id);
      in.AlignDword();
      in.Dword();  // help ID
      CHECK_IN(in.Dword() == 0, where);
      const DWORD style = in.Dword();
      CHECK_IN(style == (WS_CHILD | WS_VISIBLE | item.style), where);
      const short x = in.Short();
      const short y = in.Short();
      const short cx = in.Short();
      const short cy = in.Short();
      CHECK_IN(x == item.x && y == item.y && cx == item.cx && cy == item.cy, where);
      CHECK_IN(static_cast<int>(in.Dword()) == item.id, where);
      const std::wstring windowClass = ClassName(in.NameOrOrdinal());
      CHECK_IN(windowClass == item.windowClass, where + " " + Narrow(windowClass));
      const std::wstring text = in.NameOrOrdinal();
      CHECK_IN(text == (language.german ? item.german : item.english), where + " " + Narrow(text));
      in.Skip(in.Word());  // creation data
    }
    CHECK(!in.broken());
  }
}

struct TextCase {
  std::uint16_t id;
  const wchar_t* english;
  const wchar_t* german;
};

// A sample of the catalogue, chosen for its non-ASCII letters; the full texts are compared by
// the end-to-end tests.
const TextCase TEXTS[] = {
    {40039, L"programming unit", L"Programmiereinheit"},
    {40040, L"ESC-bootloader", L"Regler-Bootloader"},
    {40041, L"ESC", L"Regler"},
    {40028, L"Error deleting old firmware. New data can't be written. Update cancelled.",
     L"Fehler beim L\u00f6schen der alten Firmware. Neue Daten k\u00f6nnen nicht geschrieben "
     L"werden. Das Update wird abgebrochen."},
    {40033, L"ESC incompatible", L"Regler inkompatibel"},
    {40015,
     L"A programming unit was found on the USB Port which is in the wrong mode. To update the ESC "
     L"do the following:",
     L"Es wurde eine Programmiereinheit am USB Port des PCs gefunden, die sich jedoch im falschen "
     L"Modus befindet. Gehen Sie folgenderma\u00dfen vor, um ein Update der Regler Software "
     L"durchzuf\u00fchren:"},
};

void StringTablesHoldBothLanguages() {
  for (const Language& language : LANGUAGES) {
    for (const TextCase& text : TEXTS) {
      const auto block =
          Resource(RT_STRING, MAKEINTRESOURCEW(StringBlockName(text.id)), language.id);
      const std::wstring found = StringFromBlock(block, text.id % STRINGS_PER_BLOCK, 2047);
      CHECK_IN(found == (language.german ? text.german : text.english),
               std::string(language.name) + " " + std::to_string(text.id) + ": " + Narrow(found));
    }
    // Every identifier's text is there, and none carries bytes read as sign-extended units.
    for (std::uint16_t id = 40000; id <= 40041; ++id) {
      const auto block = Resource(RT_STRING, MAKEINTRESOURCEW(StringBlockName(id)), language.id);
      const std::wstring found = StringFromBlock(block, id % STRINGS_PER_BLOCK, 2047);
      const bool clean =
          std::none_of(found.begin(), found.end(), [](wchar_t unit) { return unit >= 0xFF00; });
      CHECK_IN(clean, std::string(language.name) + " " + std::to_string(id));
    }
  }
}

#pragma pack(push, 2)
struct IconDirEntry {
  BYTE width;
  BYTE height;
  BYTE colours;
  BYTE reserved;
  WORD planes;
  WORD bitCount;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

const WORD NEUTRAL = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);

void IconGroupHasFiveSizesOf32Bits() {
  const auto group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEW(IDI_APP), NEUTRAL);
  CHECK(group.size() >= 6);
  if (group.size() < 6) {
    return;
  }
  WORD count = 0;
  std::memcpy(&count, group.data() + 4, 2);
  CHECK(count == 5);
  CHECK(group.size() == 6 + count * sizeof(IconDirEntry));
  std::set<int> sizes;
  for (WORD i = 0; i < count && 6 + (i + 1) * sizeof(IconDirEntry) <= group.size(); ++i) {
    IconDirEntry entry;
    std::memcpy(&entry, group.data() + 6 + i * sizeof(IconDirEntry), sizeof(entry));
    sizes.insert(entry.width);
    CHECK(entry.width == entry.height);
    CHECK(entry.bitCount == 32);
    CHECK(Resource(RT_ICON, MAKEINTRESOURCEW(entry.id), NEUTRAL).size() == entry.bytes);
  }
  CHECK((sizes == std::set<int>{16, 32, 48, 64, 128}));
}

void LogoIs1772By263In24BitsWithGreenKey() {
  const auto bitmap = Resource(RT_BITMAP, MAKEINTRESOURCEW(IDB_LOGO), NEUTRAL);
  CHECK(bitmap.size() >= sizeof(BITMAPINFOHEADER));
  if (bitmap.size() < sizeof(BITMAPINFOHEADER)) {
    return;
  }
  BITMAPINFOHEADER header;
  std::memcpy(&header, bitmap.data(), sizeof(header));
  CHECK(header.biWidth == 1772 && header.biHeight == 263);
  CHECK(header.biBitCount == 24 && header.biCompression == BI_RGB);
  const std::size_t rowBytes = (1772 * 3 + 3) & ~std::size_t{3};
  CHECK(bitmap.size() == header.biSize + rowBytes * 263);
  // Pure green where transparent (the corners), and some of the picture is not green.
  const std::uint8_t* pixels = bitmap.data() + header.biSize;
  std::size_t green = 0;
  for (std::size_t p = 0; p + 3 <= rowBytes * 263; p += 3) {
    green += pixels[p] == 0 && pixels[p + 1] == 255 && pixels[p + 2] == 0;
  }
  CHECK(pixels[0] == 0 && pixels[1] == 255 && pixels[2] == 0);
  CHECK(green > 1000 && green < 1772u * 263u / 2);
}

void CarriedImageIsTheChosenFile(const wchar_t* imagePath) {
  std::ifstream file(imagePath, std::ios::binary);
  const std::vector<std::uint8_t> expected((std::istreambuf_iterator<char>(file)),
                                           std::istreambuf_iterator<char>());
  CHECK(!expected.empty());
  const auto image = Resource(RT_RCDATA, MAKEINTRESOURCEW(IDR_FIRMWARE), NEUTRAL);
  CHECK(image.size() == expected.size());
  CHECK(image.size() % 4 == 0);
  CHECK(std::equal(image.begin(), image.end(), expected.begin(), expected.end()));
}

void ManifestAsksForInvokerLevelAndClassicControls() {
  const auto manifest = Resource(RT_MANIFEST, MAKEINTRESOURCEW(1), NEUTRAL);
  const std::string text(manifest.begin(), manifest.end());
  CHECK(text.find("level=\"asInvoker\"") != std::string::npos);
  CHECK(text.find("uiAccess=\"false\"") != std::string::npos);
  CHECK(text.find("Common-Controls") == std::string::npos);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::printf("usage: resources_test <program.exe> <image file>\n");
    return 2;
  }
  program = LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (program == nullptr) {
    std::printf("cannot load %ls (%lu)\n", argv[1], GetLastError());
    return 2;
  }
  const struct {
    const char* name;
    void (*run)();
  } tests[] = {
      {"DialogTemplateMatchesTheTable", DialogTemplateMatchesTheTable},
      {"StringTablesHoldBothLanguages", StringTablesHoldBothLanguages},
      {"IconGroupHasFiveSizesOf32Bits", IconGroupHasFiveSizesOf32Bits},
      {"LogoIs1772By263In24BitsWithGreenKey", LogoIs1772By263In24BitsWithGreenKey},
      {"ManifestAsksForInvokerLevelAndClassicControls",
       ManifestAsksForInvokerLevelAndClassicControls},
  };
  for (const auto& test : tests) {
    const int before = failures;
    std::printf("%s\n", test.name);
    test.run();
    std::printf("  %s\n", failures == before ? "ok" : "FAILED");
  }
  const int before = failures;
  std::printf("CarriedImageIsTheChosenFile\n");
  CarriedImageIsTheChosenFile(argv[2]);
  std::printf("  %s\n", failures == before ? "ok" : "FAILED");
  std::printf("%d failure(s)\n", failures);
  return failures == 0 ? 0 : 1;
}
