#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>

#include "texts/message_catalogue.h"
#include "texts/message_format.h"

namespace {

// The identifiers of the dialog's messages: their numbers are the string table's, an interface
// of the Windows program that other tools may read, so they are fixed here, not taken from the
// generated header.
const std::pair<MessageId, MessageId> kFixedNumbers[] = {
    {IDS_READY, 40000},
    {IDS_INSTRUCTIONS, 40001},
    {IDS_UPDATE_FAILED, 40002},
    {IDS_SET_ADDRESS_FAILED, 40008},
    {IDS_WRITE_BLOCK_FAILED, 40009},
    {IDS_NOTIFY_FAILED, 40011},
    {IDS_APP_ERROR, 40012},
    {IDS_WRONG_MODE, 40015},
    {IDS_NO_ESC, 40016},
    {IDS_NO_UNIT, 40017},
    {IDS_CONNECTION_LOST, 40020},
    {IDS_UNIT_GONE, 40022},
    {IDS_DOWNGRADE_TEXT, 40023},
    {IDS_DOWNGRADE_CAPTION, 40025},
    {IDS_LOCK_FAILED, 40026},
    {IDS_PROTECT_FAILED, 40027},
    {IDS_ERASE_FAILED, 40028},
    {IDS_TRANSFER_RUNNING, 40029},
    {IDS_RETRY_HINT, 40030},
    {IDS_SUCCESS, 40032},
    {IDS_INCOMPATIBLE_CAPTION, 40033},
    {IDS_INCOMPATIBLE_TEXT, 40034},
    {IDS_INCOMPATIBLE_HINT, 40035},
    {IDS_ERROR_CODES, 40036},
    {IDS_NOTE_CAPTION, 40037},
    {IDS_NOTE_TEXT, 40038},
    {IDS_LABEL_UNIT, 40039},
    {IDS_LABEL_BOOTLOADER, 40040},
    {IDS_LABEL_ESC, 40041},
};

// Texts that are the same word in German; every other one is translated.
const std::set<MessageId> kSameInGerman = {IDS_DIALOG_UPDATE, IDS_DOCTOR_PASS};

// Every message of the table, in every language: present, within the 2,048 characters a text is
// fetched into on Windows, and translated. A message the generator dropped for one language, or
// a translation left in English, shows here.
TEST(MessageCatalogue, EveryMessageHasATextInEveryLanguage) {
  ASSERT_GE(BuiltInLanguages().size(), 2u);
  std::set<MessageId> ids;
  for (const CatalogueEntry& entry : BuiltInTable().entries) {
    ids.insert(entry.id);
  }
  ASSERT_GT(ids.size(), std::size(kFixedNumbers));
  for (const MessageId id : ids) {
    for (std::size_t language = 0; language < BuiltInLanguages().size(); ++language) {
      const std::wstring text = BuiltInTable().Text(id, language);
      EXPECT_FALSE(text.empty()) << id << " " << BuiltInLanguages()[language].code;
      EXPECT_LT(text.size(), 2048u) << id;
    }
    if (!kSameInGerman.contains(id)) {
      EXPECT_NE(TableText(id, Language::English), TableText(id, Language::German)) << id;
    }
  }
}

TEST(MessageCatalogue, DialogMessagesKeepTheirNumbers) {
  for (const auto& [name, number] : kFixedNumbers) {
    EXPECT_EQ(name, number);
    EXPECT_FALSE(TableText(number, Language::English).empty()) << number;
  }
}

// Texts whose exact letters carry something easy to lose on the way from the source file: escapes,
// characters outside ASCII, double spaces, the web address and the format placeholders.
struct ExactText {
  MessageId id;
  Language language;
  const wchar_t* text;
};

const ExactText kExactTexts[] = {
    {IDS_UPDATE_FAILED, Language::English, L"Update failed!"},
    {IDS_UPDATE_FAILED, Language::German, L"Update fehlgeschlagen!"},
    {IDS_LABEL_ESC, Language::English, L"ESC"},
    {IDS_LABEL_ESC, Language::German, L"Regler"},
    // The dialog's own texts, as its template held them.
    {IDS_DIALOG_CLOSE, Language::English, L"Close"},
    {IDS_DIALOG_CLOSE, Language::German, L"Beenden"},
    {IDS_DIALOG_UPDATE, Language::English, L"Update"},
    {IDS_DIALOG_UPDATE, Language::German, L"Update"},
    {IDS_DIALOG_HINT_LABEL, Language::English, L"Hint:"},
    {IDS_DIALOG_HINT_LABEL, Language::German, L"Hinweisfenster:"},
    {IDS_DIALOG_VERSION_GROUP, Language::English, L"Installed firmware version"},
    {IDS_DIALOG_VERSION_GROUP, Language::German, L"Installierte Firmware Versionen"},
    {IDS_ERROR_CODES, Language::English, L"The system shows following errorcode: 0x%08x-0x%08x"},
    {IDS_ERROR_CODES, Language::German, L"Das System meldet Fehlercode 0x%08x-0x%08x"},
    {IDS_NOTIFY_FAILED, Language::German,
     L"Fehler beim Registrieren des Windows Ger\u00e4te-Meldungshandlers. Neue Ger\u00e4te am "
     L"USB Port k\u00f6nnen nicht erkannt werden. Das Programm wird geschlossen."},
    {IDS_DOWNGRADE_TEXT, Language::English,
     L"The firmware version is older or the same as the installed firmware version.  If you "
     L"continue you will be permanently deleting the current Firmware?"},
    {IDS_READY, Language::English,
     L"A programming unit was found and is ready to update. To update to new ESC firmware, please "
     L"click on the 'Update'-Button.\n\n!!!  NOTE: Do not disconnect Programming Unit from "
     L"Computer until update is complete. If disconnected before complete Programming Unit or ESC "
     L"may no longer function  !!!"},
    {IDS_INCOMPATIBLE_TEXT, Language::English,
     L"With this updater you can only update the firmware of TALVERO ESCs with the type '%s'. "
     L"Other models are not supported. Please check TALVERO website (www.talvero.example) to see "
     L"if there is an updater for your ESC."},
    {IDS_INCOMPATIBLE_TEXT, Language::German,
     L"Mit diesem Updater l\u00e4\u00dft sich ausschlie\u00dflich die Firmware von TALVERO "
     L"Reglern des Typs '%s' aktualisieren. Andere Modelle werden nicht unterst\u00fctzt. Schauen "
     L"Sie gegebenenfalls auf der TALVERO Website unter www.talvero.example nach, ob ein "
     L"Firmware-Update f\u00fcr Ihren Regler bereit liegt"},
};

TEST(MessageCatalogue, KeepsEscapesSpecialCharactersAndTheWebAddress) {
  for (const ExactText& expected : kExactTexts) {
    EXPECT_EQ(TableText(expected.id, expected.language), expected.text)
        << expected.id << (expected.language == Language::German ? " de" : " en");
  }
  const std::wstring instructions = TableText(IDS_INSTRUCTIONS, Language::German);
  EXPECT_NE(instructions.find(L"Windows\u2122PC"), std::wstring::npos);
  EXPECT_NE(instructions.find(L"\n\n2.)\n"), std::wstring::npos);
}

TEST(MessageCatalogue, TableCatalogueSpeaksItsLanguage) {
  EXPECT_EQ(TableCatalogue(Language::German).Text(IDS_LABEL_UNIT), L"Programmiereinheit");
  EXPECT_EQ(TableCatalogue(Language::English).Text(IDS_LABEL_UNIT), L"programming unit");
  EXPECT_EQ(TableCatalogue(Language::English).Text(40099), L"");
}

TEST(MessageFormat, IncompatibilityTextNamesTheModelInBothLanguages) {
  EXPECT_EQ(FormatWithText(TableText(IDS_INCOMPATIBLE_TEXT, Language::English), L"PELORA"),
            L"With this updater you can only update the firmware of TALVERO ESCs with the type "
            L"'PELORA'. Other models are not supported. Please check TALVERO website "
            L"(www.talvero.example) to see if there is an updater for your ESC.");
  EXPECT_EQ(FormatWithText(TableText(IDS_INCOMPATIBLE_TEXT, Language::German), L"PELORA"),
            L"Mit diesem Updater l\u00e4\u00dft sich ausschlie\u00dflich die Firmware von TALVERO "
            L"Reglern des Typs 'PELORA' aktualisieren. Andere Modelle werden nicht "
            L"unterst\u00fctzt. Schauen Sie gegebenenfalls auf der TALVERO Website unter "
            L"www.talvero.example nach, ob ein Firmware-Update f\u00fcr Ihren Regler bereit liegt");
}

TEST(MessageFormat, ErrorCodesInBothLanguages) {
  EXPECT_EQ(FormatWithHexPair(TableText(IDS_ERROR_CODES, Language::English),
                              static_cast<std::uint32_t>(-2), 31),
            L"The system shows following errorcode: 0xfffffffe-0x0000001f");
  EXPECT_EQ(FormatWithHexPair(TableText(IDS_ERROR_CODES, Language::German),
                              static_cast<std::uint32_t>(-2), 31),
            L"Das System meldet Fehlercode 0xfffffffe-0x0000001f");
}

struct HexCase {
  std::uint32_t first;
  std::uint32_t second;
  const wchar_t* expected;
};

TEST(MessageFormat, HexPairIsEightLowerCaseDigitsEach) {
  const HexCase cases[] = {
      {0, 0, L"0x00000000-0x00000000"},
      {1627, 0, L"0x0000065b-0x00000000"},
      {0xFFFFFFFF, 0xABCDEF01, L"0xffffffff-0xabcdef01"},
      {0x80000000, 0x7FFFFFFF, L"0x80000000-0x7fffffff"},
      {5, 1167, L"0x00000005-0x0000048f"},
  };
  for (const HexCase& c : cases) {
    EXPECT_EQ(FormatWithHexPair(L"0x%08x-0x%08x", c.first, c.second), c.expected);
  }
}

struct FormatCase {
  const wchar_t* format;
  const wchar_t* text;
  const wchar_t* expected;
};

TEST(MessageFormat, PlaceholdersAreReplacedLiterallyAndNothingElse) {
  const FormatCase cases[] = {
      {L"%s", L"PELORA", L"PELORA"},
      {L"'%s' and '%s'", L"A", L"'A' and 'A'"},
      {L"no placeholder", L"X", L"no placeholder"},
      {L"100%% sure: %s", L"X", L"100% sure: X"},
      // The argument is copied as it stands, never formatted again.
      {L"<%s>", L"%s %08x %%", L"<%s %08x %%>"},
      // Conversions this text does not take, and a lone '%' at the end, stay as written.
      {L"%d %08x %", L"X", L"%d %08x %"},
      {L"", L"X", L""},
  };
  for (const FormatCase& c : cases) {
    EXPECT_EQ(FormatWithText(c.format, c.text), c.expected) << c.format;
  }
  // Only two numbers are given; a third placeholder and a text one stay.
  EXPECT_EQ(FormatWithHexPair(L"%08x %08x %08x %s", 1, 2), L"00000001 00000002 %08x %s");
}

// The catalogue language whose Windows language id a resource script's "LANGUAGE 0xPP, 0xSS"
// line gives (primary language, sublanguage); none when it is no catalogue language's.
std::optional<Language> LanguageTagged(const std::string& line) {
  unsigned primary = 0;
  unsigned sublanguage = 0;
  if (std::sscanf(line.c_str(), "LANGUAGE 0x%x, 0x%x", &primary, &sublanguage) != 2) {
    return std::nullopt;
  }
  for (std::size_t index = 0; index < BuiltInLanguages().size(); ++index) {
    if (BuiltInLanguages()[index].windowsLanguageId == (sublanguage << 10 | primary)) {
      return LanguageAt(index);
    }
  }
  return std::nullopt;
}

// Reads the generated resource script part back and turns its L"..." entries into wide text,
// per language, so the Windows string tables can be compared with the host table. The script is
// ASCII; \r, \n and \xXXXX (exactly four digits in a wide resource string) are its escapes.
std::map<std::pair<Language, MessageId>, std::wstring> ReadResourceStrings(
    const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream content;
  content << file.rdbuf();
  std::map<std::pair<Language, MessageId>, std::wstring> strings;
  std::optional<Language> language;
  std::string line;
  while (std::getline(content, line)) {
    if (line.starts_with("LANGUAGE ")) {
      language = LanguageTagged(line);
    }
    const std::size_t quote = line.find(", L\"");
    if (!language || quote == std::string::npos || line.back() != '"') {
      continue;
    }
    const auto id = static_cast<MessageId>(std::stoul(line));
    const std::string body = line.substr(quote + 4, line.size() - quote - 5);
    std::wstring text;
    for (std::size_t i = 0; i < body.size();) {
      if (body[i] != '\\') {
        text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(body[i])));
        ++i;
      } else if (body[i + 1] == 'x') {
        text.push_back(static_cast<wchar_t>(std::stoul(body.substr(i + 2, 4), nullptr, 16)));
        i += 6;
      } else {
        text.push_back(body[i + 1] == 'r' ? L'\r' : body[i + 1] == 'n' ? L'\n' : L'?');
        i += 2;
      }
    }
    strings[{*language, id}] = text;
  }
  return strings;
}

// The same texts, with every line break as "\r\n" as Windows' controls need it.
TEST(MessageCatalogue, WindowsStringTablesHoldTheSameTexts) {
  const auto strings = ReadResourceStrings(UPDATER_GENERATED_DIR "/strings.rc");
  ASSERT_EQ(strings.size(), BuiltInTable().entries.size());
  for (const auto& [key, text] : strings) {
    std::wstring expected;
    for (const wchar_t c : TableText(key.second, key.first)) {
      if (c == L'\n') {
        expected.push_back(L'\r');
      }
      expected.push_back(c);
    }
    EXPECT_EQ(text, expected) << key.second;
  }
}

TEST(MessageCatalogue, WindowsStringTablesAreAsciiWithTaggedLanguages) {
  std::ifstream file(UPDATER_GENERATED_DIR "/strings.rc", std::ios::binary);
  std::stringstream content;
  content << file.rdbuf();
  const std::string rc = content.str();
  const std::size_t pragma = rc.find("#pragma code_page(65001)\n");
  // Windows' English (US) and German (Germany), as the catalogue declares them.
  const std::size_t english = rc.find("LANGUAGE 0x09, 0x01\nSTRINGTABLE\nBEGIN\n");
  const std::size_t german = rc.find("LANGUAGE 0x07, 0x01\nSTRINGTABLE\nBEGIN\n");
  ASSERT_NE(pragma, std::string::npos);
  ASSERT_NE(english, std::string::npos);
  ASSERT_NE(german, std::string::npos);
  EXPECT_LT(pragma, english);
  EXPECT_LT(english, german);
  // CR LF stays an escape, and so does every character outside ASCII: windres would read the
  // bytes of a UTF-8 wide string one by one.
  EXPECT_NE(rc.find("  40000, L\"A programming unit was found and is ready to update. To update to "
                    "new ESC firmware, please click on the 'Update'-Button.\\r\\n\\r\\n!!!"),
            std::string::npos);
  EXPECT_NE(rc.find("Ger\\x00e4te-Meldungshandlers"), std::string::npos);
  EXPECT_NE(rc.find("Windows\\x2122PC"), std::string::npos);
  EXPECT_TRUE(std::all_of(rc.begin(), rc.end(),
                          [](char c) { return c == '\n' || (c >= ' ' && c <= '~'); }));
}

}  // namespace
