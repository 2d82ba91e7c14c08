// Checks the resources compiled into the program (run under Wine by CTest): dialog template 110,
// one for every language, item by item, the string tables of every catalogue language (umlauts
// included), icon group 123, logo bitmap 121, the carried image 146 and the manifest.
//
// usage: resources_test [GoogleTest flags] <program.exe> <image file>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <fstream>
#include <iterator>
#include <ostream>
#include <set>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "resources/resource_ids.h"
#include "tests/win32/win32_test_main.h"
#include "texts/message_catalogue.h"
#include "win32/string_block.h"

namespace {

// The program, loaded as a data file once for all tests; null when it could not be.
HMODULE Program() {
  static const HMODULE program = [] {
    const auto& arguments = win32_test::Arguments();
    return arguments.size() == 2
               ? LoadLibraryExW(arguments[0].c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)
               : nullptr;
  }();
  return program;
}

// Every test starts here: without the program (or its arguments) there is nothing to check.
class ProgramResources : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(win32_test::Arguments().size(), 2u)
        << "usage: resources_test [GoogleTest flags] <program.exe> <image file>";
    ASSERT_NE(Program(), nullptr) << "cannot load the program (error " << GetLastError() << ")";
  }
};

std::span<const std::uint8_t> Resource(LPCWSTR type, LPCWSTR name, WORD language) {
  const HRSRC found = FindResourceExW(Program(), type, name, language);
  if (found == nullptr) {
    return {};
  }
  const HGLOBAL loaded = LoadResource(Program(), found);
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (data == nullptr) {
    return {};
  }
  return {static_cast<const std::uint8_t*>(data), SizeofResource(Program(), found)};
}

const WORD NEUTRAL = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);

// ---------------------------------------------------------------- the dialog template

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

struct DialogHeader {
  std::uint16_t version = 0, signature = 0;
  std::uint32_t exStyle = 0, style = 0;
  std::uint16_t count = 0;
  std::int16_t x = 0, y = 0, cx = 0, cy = 0;
  std::wstring menu, windowClass, title;
  std::uint16_t points = 0;
  std::wstring font;
};

struct DialogItem {
  std::uint32_t exStyle = 0, style = 0;
  std::int16_t x = 0, y = 0, cx = 0, cy = 0;
  int id = 0;
  std::wstring windowClass, text;
};

struct DialogTemplate {
  bool found = false;
  bool broken = false;
  DialogHeader header;
  std::vector<DialogItem> items;
};

DialogTemplate ReadDialog(WORD language) {
  DialogTemplate dialog;
  const auto bytes = Resource(RT_DIALOG, MAKEINTRESOURCEW(IDD_MAIN), language);
  dialog.found = !bytes.empty();
  TemplateReader in(bytes);
  DialogHeader& h = dialog.header;
  h.version = in.Word();
  h.signature = in.Word();
  in.Dword();  // help ID
  h.exStyle = in.Dword();
  h.style = in.Dword();
  h.count = in.Word();
  h.x = in.Short();
  h.y = in.Short();
  h.cx = in.Short();
  h.cy = in.Short();
  h.menu = in.NameOrOrdinal();
  h.windowClass = in.NameOrOrdinal();
  h.title = in.NameOrOrdinal();
  h.points = in.Word();
  in.Word();   // weight
  in.Skip(2);  // italic, charset
  h.font = in.NameOrOrdinal();
  for (std::size_t i = 0; i < h.count && !in.broken(); ++i) {
    DialogItem item;
    in.AlignDword();
    in.Dword();  // help ID
    item.exStyle = in.Dword();
    item.style = in.Dword();
    item.x = in.Short();
    item.y = in.Short();
    item.cx = in.Short();
    item.cy = in.Short();
    item.id = static_cast<int>(in.Dword());
    item.windowClass = ClassName(in.NameOrOrdinal());
    item.text = in.NameOrOrdinal();
    in.Skip(in.Word());  // creation data
    dialog.items.push_back(item);
  }
  dialog.broken = in.broken();
  return dialog;
}

struct StringLanguage {
  const char* name;
  WORD id;
  bool german;
};

const StringLanguage LANGUAGES[] = {
    {"English", MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), false},
    {"German", MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), true},
};

std::string LanguageName(const testing::TestParamInfo<StringLanguage>& info) {
  return info.param.name;
}

void PrintTo(const StringLanguage& language, std::ostream* out) {
  *out << language.name;
}

// The languages in which the program holds a resource.
std::set<WORD> ResourceLanguages(LPCWSTR type, LPCWSTR name) {
  std::set<WORD> languages;
  EnumResourceLanguagesW(
      Program(), type, name,
      [](HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR found) -> BOOL {
        reinterpret_cast<std::set<WORD>*>(found)->insert(language);
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&languages));
  return languages;
}

struct Item {
  const char* name;
  int id;
  const wchar_t* windowClass;
  const wchar_t* text;  // empty: set from the catalogue at start-up
  short x, y, cx, cy;
  DWORD style;  // besides WS_CHILD | WS_VISIBLE
};

// The main dialog, in template order (also creation, tab and Z order).
const Item ITEMS[] = {
    {"Close", IDC_CLOSE, L"button", L"", 157, 199, 50, 14,
     BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP},
    {"Update", IDC_UPDATE, L"button", L"", 61, 199, 50, 14,
     BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED},
    {"LabelUnit", IDC_LABEL_UNIT, L"static", L"Firmware 1:", 22, 24, 96, 8, SS_LEFT | WS_GROUP},
    {"LabelBootloader", IDC_LABEL_BOOTLOADER, L"static", L"Firmware 2:", 22, 37, 96, 8,
     SS_LEFT | WS_GROUP},
    {"VersionUnit", IDC_VERSION_UNIT, L"static", L"0.00.00", 122, 24, 53, 8, SS_RIGHT | WS_GROUP},
    {"VersionBootloader", IDC_VERSION_BOOTLOADER, L"static", L"0.00.00", 122, 37, 53, 8,
     SS_RIGHT | WS_GROUP},
    {"Hint", IDC_HINT, L"edit", L"", 15, 89, 271, 101,
     ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | WS_BORDER | WS_VSCROLL},
    {"HintLabel", IDC_HINT_LABEL, L"static", L"", 15, 79, 60, 8, SS_LEFT | WS_GROUP},
    {"VersionGroup", IDC_VERSION_GROUP, L"button", L"", 15, 10, 170, 57, BS_GROUPBOX | WS_GROUP},
    {"LabelEsc", IDC_LABEL_ESC, L"static", L"Firmware 3:", 22, 50, 96, 8, SS_LEFT | WS_GROUP},
    {"VersionEsc", IDC_VERSION_ESC, L"static", L"0.00.00", 122, 50, 53, 8, SS_RIGHT | WS_GROUP},
};

// One template serves every language: the program finds it under the neutral language only,
// whatever the user's, never a stale copy in one language.
TEST_F(ProgramResources, DialogTemplateIsOneForEveryLanguage) {
  EXPECT_EQ(ResourceLanguages(RT_DIALOG, MAKEINTRESOURCEW(IDD_MAIN)), std::set<WORD>{NEUTRAL});
}

TEST_F(ProgramResources, DialogTemplateHeaderMatchesTheTable) {
  const DialogTemplate dialog = ReadDialog(NEUTRAL);
  ASSERT_TRUE(dialog.found);
  const DialogHeader& h = dialog.header;
  EXPECT_EQ(h.version, 1);
  EXPECT_EQ(h.signature, 0xFFFF) << "a DLGTEMPLATEEX";
  EXPECT_EQ(h.exStyle, 0u);
  EXPECT_EQ(h.style, static_cast<std::uint32_t>(DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP |
                                                WS_CAPTION | WS_SYSMENU));
  EXPECT_EQ(h.count, std::size(ITEMS));
  EXPECT_EQ(h.x, 0);
  EXPECT_EQ(h.y, 0);
  EXPECT_EQ(h.cx, 300);
  EXPECT_EQ(h.cy, 228);
  EXPECT_EQ(h.menu, L"") << "no menu";
  EXPECT_EQ(h.windowClass, L"") << "the standard dialog class";
  EXPECT_EQ(h.title, L"TALVERO PELORA FW Updater");
  EXPECT_EQ(h.points, 8);
  EXPECT_EQ(h.font, L"MS Shell Dlg");
  EXPECT_FALSE(dialog.broken) << "the template ends before its last item";
}

class DialogTemplateItem : public ProgramResources,
                           public testing::WithParamInterface<std::size_t> {};

TEST_P(DialogTemplateItem, MatchesTheTable) {
  const std::size_t index = GetParam();
  const Item& expected = ITEMS[index];
  const DialogTemplate dialog = ReadDialog(NEUTRAL);
  ASSERT_TRUE(dialog.found);
  ASSERT_LT(index, dialog.items.size()) << "the template has " << dialog.items.size() << " items";
  const DialogItem& item = dialog.items[index];
  EXPECT_EQ(item.id, expected.id);
  EXPECT_EQ(item.exStyle, 0u);
  EXPECT_EQ(item.style, WS_CHILD | WS_VISIBLE | expected.style);
  EXPECT_EQ(item.x, expected.x);
  EXPECT_EQ(item.y, expected.y);
  EXPECT_EQ(item.cx, expected.cx);
  EXPECT_EQ(item.cy, expected.cy);
  EXPECT_EQ(item.windowClass, expected.windowClass);
  EXPECT_EQ(item.text, expected.text);
}

INSTANTIATE_TEST_SUITE_P(InTemplateOrder, DialogTemplateItem,
                         testing::Range<std::size_t>(0, std::size(ITEMS)),
                         [](const testing::TestParamInfo<std::size_t>& info) {
                           return std::string(ITEMS[info.param].name);
                         });

// ---------------------------------------------------------------- the string tables

std::wstring StringOf(std::uint16_t id, WORD language) {
  const auto block = Resource(RT_STRING, MAKEINTRESOURCEW(StringBlockName(id)), language);
  return StringFromBlock(block, id % STRINGS_PER_BLOCK, 2047);
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
    {40050, L"Close", L"Beenden"},
    {40052, L"Hint:", L"Hinweisfenster:"},
    {40053, L"Installed firmware version", L"Installierte Firmware Versionen"},
    {40015,
     L"A programming unit was found on the USB Port which is in the wrong mode. To update the ESC "
     L"do the following:",
     L"Es wurde eine Programmiereinheit am USB Port des PCs gefunden, die sich jedoch im falschen "
     L"Modus befindet. Gehen Sie folgenderma\u00dfen vor, um ein Update der Regler Software "
     L"durchzuf\u00fchren:"},
};

void PrintTo(const TextCase& text, std::ostream* out) {
  *out << "string " << text.id;
}

class StringTableText : public ProgramResources,
                        public testing::WithParamInterface<std::tuple<StringLanguage, TextCase>> {};

TEST_P(StringTableText, IsTheCataloguesLetterForLetter) {
  const auto& [language, text] = GetParam();
  EXPECT_EQ(StringOf(text.id, language.id), language.german ? text.german : text.english);
}

INSTANTIATE_TEST_SUITE_P(
    Sample, StringTableText,
    testing::Combine(testing::ValuesIn(LANGUAGES), testing::ValuesIn(TEXTS)),
    [](const testing::TestParamInfo<std::tuple<StringLanguage, TextCase>>& info) {
      return std::string(std::get<0>(info.param).name) + "_" +
             std::to_string(std::get<1>(info.param).id);
    });

class StringTable : public ProgramResources, public testing::WithParamInterface<StringLanguage> {};

// Bytes read as sign-extended units would show as U+FFxx (the identifiers are not contiguous:
// an absent one reads as empty).
TEST_P(StringTable, HasNoSignExtendedUnits) {
  for (std::uint16_t id = 40000; id <= 40199; ++id) {
    const std::wstring found = StringOf(id, GetParam().id);
    EXPECT_TRUE(
        std::none_of(found.begin(), found.end(), [](wchar_t unit) { return unit >= 0xFF00; }))
        << "string " << id;
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, StringTable, testing::ValuesIn(LANGUAGES), LanguageName);

// Each string block holds a table in every language the catalogue declares, and in no other.
TEST_F(ProgramResources, StringTablesAreTheCataloguesLanguages) {
  std::set<WORD> declared;
  for (const CatalogueLanguage& language : BuiltInLanguages()) {
    declared.insert(language.windowsLanguageId);
  }
  ASSERT_EQ(declared.size(), 2u);
  for (const std::uint16_t id : {IDS_READY, IDS_LABEL_ESC, IDS_DIALOG_CLOSE, IDS_CLI_READY}) {
    EXPECT_EQ(ResourceLanguages(RT_STRING, MAKEINTRESOURCEW(StringBlockName(id))), declared) << id;
  }
}

// ---------------------------------------------------------------- icon, logo, image, manifest

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

TEST_F(ProgramResources, IconGroupHasFiveSizesOf32Bits) {
  const auto group = Resource(RT_GROUP_ICON, MAKEINTRESOURCEW(IDI_APP), NEUTRAL);
  ASSERT_GE(group.size(), 6u);
  WORD count = 0;
  std::memcpy(&count, group.data() + 4, 2);
  EXPECT_EQ(count, 5);
  EXPECT_EQ(group.size(), 6 + count * sizeof(IconDirEntry));
  std::set<int> sizes;
  for (WORD i = 0; i < count && 6 + (i + 1) * sizeof(IconDirEntry) <= group.size(); ++i) {
    IconDirEntry entry;
    std::memcpy(&entry, group.data() + 6 + i * sizeof(IconDirEntry), sizeof(entry));
    SCOPED_TRACE(testing::Message() << "icon " << entry.id);
    sizes.insert(entry.width);
    EXPECT_EQ(entry.width, entry.height);
    EXPECT_EQ(entry.bitCount, 32);
    EXPECT_EQ(Resource(RT_ICON, MAKEINTRESOURCEW(entry.id), NEUTRAL).size(), entry.bytes);
  }
  EXPECT_EQ(sizes, (std::set<int>{16, 32, 48, 64, 128}));
}

TEST_F(ProgramResources, LogoIs1772By263In24BitsWithGreenKey) {
  const auto bitmap = Resource(RT_BITMAP, MAKEINTRESOURCEW(IDB_LOGO), NEUTRAL);
  ASSERT_GE(bitmap.size(), sizeof(BITMAPINFOHEADER));
  BITMAPINFOHEADER header;
  std::memcpy(&header, bitmap.data(), sizeof(header));
  EXPECT_EQ(header.biWidth, 1772);
  EXPECT_EQ(header.biHeight, 263);
  EXPECT_EQ(header.biBitCount, 24);
  EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
  const std::size_t rowBytes = (1772 * 3 + 3) & ~std::size_t{3};
  ASSERT_EQ(bitmap.size(), header.biSize + rowBytes * 263);
  // Pure green where transparent (the corners), and some of the picture is not green.
  const std::uint8_t* pixels = bitmap.data() + header.biSize;
  std::size_t green = 0;
  for (std::size_t p = 0; p + 3 <= rowBytes * 263; p += 3) {
    green += pixels[p] == 0 && pixels[p + 1] == 255 && pixels[p + 2] == 0;
  }
  EXPECT_TRUE(pixels[0] == 0 && pixels[1] == 255 && pixels[2] == 0) << "the corner is not green";
  EXPECT_GT(green, 1000u);
  EXPECT_LT(green, 1772u * 263u / 2);
}

// Whatever its length: the program pads a short final block itself (the Wine suite's
// unaligned-image scenario checks how).
TEST_F(ProgramResources, CarriedImageIsTheChosenFile) {
  std::ifstream file(win32_test::Arguments()[1].c_str(), std::ios::binary);
  const std::vector<std::uint8_t> expected((std::istreambuf_iterator<char>(file)),
                                           std::istreambuf_iterator<char>());
  ASSERT_FALSE(expected.empty()) << "cannot read the image file";
  const auto image = Resource(RT_RCDATA, MAKEINTRESOURCEW(IDR_FIRMWARE), NEUTRAL);
  EXPECT_EQ(image.size(), expected.size());
  EXPECT_TRUE(std::equal(image.begin(), image.end(), expected.begin(), expected.end()));
}

TEST_F(ProgramResources, ManifestAsksForInvokerLevelAndClassicControls) {
  const auto manifest = Resource(RT_MANIFEST, MAKEINTRESOURCEW(1), NEUTRAL);
  const std::string text(manifest.begin(), manifest.end());
  EXPECT_NE(text.find("level=\"asInvoker\""), std::string::npos);
  EXPECT_NE(text.find("uiAccess=\"false\""), std::string::npos);
  EXPECT_EQ(text.find("Common-Controls"), std::string::npos);
}

}  // namespace
