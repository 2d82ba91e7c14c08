#include "update/json_text.h"

#include <cstdint>

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

void AppendCodePoint(std::string& out, std::uint32_t cp) {
  if (cp == '"' || cp == '\\') {
    out.push_back('\\');
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x20 || cp == 0x7F) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\u00";
    out.push_back(kHex[cp >> 4]);
    out.push_back(kHex[cp & 0xF]);
  } else if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// The length of the well-formed UTF-8 sequence at `at` (RFC 3629: no overlong forms, no
// surrogates, nothing past U+10FFFF), or 0 when the bytes there are not one.
std::size_t Utf8SequenceAt(std::string_view bytes, std::size_t at, std::uint32_t& cp) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[at + i]); };
  const std::uint8_t lead = byte(0);
  std::size_t length = 0;
  std::uint32_t min = 0;
  if (lead < 0x80) {
    cp = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, min = 0x80, cp = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, min = 0x800, cp = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, min = 0x10000, cp = lead & 0x07;
  } else {
    return 0;
  }
  if (bytes.size() - at < length) {
    return 0;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) {
      return 0;
    }
    cp = (cp << 6) | (byte(i) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    return 0;
  }
  return length;
}

}  // namespace

std::string JsonString(std::string_view bytes) {
  std::string out = "\"";
  for (std::size_t at = 0; at < bytes.size();) {
    std::uint32_t cp = 0;
    const std::size_t length = Utf8SequenceAt(bytes, at, cp);
    if (length == 0) {
      out += kReplacement;
      ++at;
      continue;
    }
    AppendCodePoint(out, cp);
    at += length;
  }
  return out + "\"";
}

std::string JsonString(std::wstring_view text) {
  std::string out = "\"";
  for (std::size_t at = 0; at < text.size(); ++at) {
    std::uint32_t cp = static_cast<std::uint32_t>(text[at]);
    // wchar_t is UTF-16 on Windows and UTF-32 elsewhere; a pair is joined, a lone half replaced.
    if (cp >= 0xD800 && cp <= 0xDBFF && at + 1 < text.size()) {
      const std::uint32_t low = static_cast<std::uint32_t>(text[at + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        ++at;
      }
    }
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
      out += kReplacement;
      continue;
    }
    AppendCodePoint(out, cp);
  }
  return out + "\"";
}
