#!/usr/bin/env python3
"""Turns the message catalogue source into the code and resources that carry it, so every text is
typed once (resources/messages.txt) and the Windows string tables and the host table agree.

  generate_messages.py --input messages.txt --output-dir DIR --web-address www.example

The languages are whatever the source declares ("language <code> <Name> <Windows id>" lines,
before the first message); nothing here names one. Every message needs a text in each.

Writes into DIR:
  message_ids.h         inline constexpr MessageId IDS_... = <id>;
  message_languages.h   enum class Language { <Name>, ... } in the order declared
  message_languages.inc the declared languages as CatalogueLanguage rows {"<code>", <Windows id>}
  message_table.inc     {IDS_..., <language index>, L"text"}, one line per message and language
  strings.rc            resource script part: one STRINGTABLE per language, entries id, L"text"
The two .inc files are data for one translation unit each (they define arrays), so a test can
carry a second catalogue beside the program's without a clash of names.

Texts are bodies of C string literals; the only escape allowed is \\n, a line break: kept as it is
in the table, written \\r\\n in the string tables, where Windows' controls need both. Anything that
would change meaning on the way (a quote, another backslash escape, a bracket or semicolon, which
other tools reading the source may mangle, or a control character) stops the build.

Characters outside ASCII are written as escapes, so every output is plain ASCII and no compiler's
idea of the source code page matters: \\uXXXX in C++, \\xXXXX in the resource script (GNU windres
reads the bytes of a UTF-8 L"..." string one by one, sign-extended, whatever the code page says).
"""

import argparse
import os
import re
import sys

HEADER = "// Generated from resources/messages.txt by cmake/generate_messages.py. Do not edit.\n"

LANGUAGE_LINE = re.compile(r"language ([a-z]+) ([A-Z][A-Za-z0-9]*) 0x([0-9A-Fa-f]{4})")
MESSAGE_LINE = re.compile(r"([0-9]+) (IDS_[A-Z0-9_]+)")
TEXT_LINE = re.compile(r"([a-z]+) (.*)", re.DOTALL)


class CatalogueError(Exception):
    pass


def refuse_unsafe(text, where):
    for bad in (";", "[", "]", '"'):
        if bad in text:
            raise CatalogueError(f"{where} contains '{bad}', which is not supported")
    if "\\" in text.replace("\\n", ""):
        raise CatalogueError(f"{where} contains a backslash other than \\n")


def escape_non_ascii(text, where):
    """Returns the text as a C++ literal body and as a resource-script literal body."""
    cpp, rc = [], []
    for character in text:
        code = ord(character)
        if code < 32 or code == 127:
            raise CatalogueError(f"{where} contains control character {code}")
        if code < 128:
            cpp.append(character)
            rc.append(character)
        elif code < 0x10000:
            cpp.append(f"\\u{code:04x}")
            rc.append(f"\\x{code:04x}")
        else:
            high = 0xD800 + ((code - 0x10000) >> 10)
            low = 0xDC00 + ((code - 0x10000) & 0x3FF)
            cpp.append(f"\\U{code:08x}")
            rc.append(f"\\x{high:04x}\\x{low:04x}")
    return "".join(cpp), "".join(rc)


def decode_line(raw, where):
    try:
        # Strict UTF-8 refuses overlong forms, surrogates and code points past U+10FFFF.
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        raise CatalogueError(f"{where} is not valid UTF-8") from None


def close_message(message, languages, messages):
    """Checks the message just read, which needs a text in every language, and keeps it escaped."""
    if message is None:
        return
    message_id, message_name, texts = message
    escaped = []
    for code, _, _ in languages:
        if code not in texts:
            raise CatalogueError(f"{message_name} ({message_id}) lacks the {code} text")
        cpp_text, rc_text = escape_non_ascii(texts[code], f"{message_name} {code}")
        escaped.append((cpp_text, rc_text.replace("\\n", "\\r\\n")))
    messages.append((message_id, message_name, escaped))


def generate(source, web_address):
    """Returns {file name: content} for the catalogue source (bytes)."""
    refuse_unsafe(web_address, "WEB_ADDRESS")
    if source.startswith(b"\xef\xbb\xbf"):
        source = source[3:]

    languages = []  # (code, name, Windows id)
    messages = []  # (id as written, name, [(C++ text, resource text) per language])
    seen_ids, seen_names = set(), set()
    current = None
    lines = source.split(b"\n")
    for line_number, raw in enumerate(lines, start=1):
        if raw.endswith(b"\r"):
            raw = raw[:-1]
        # Comment lines may hold anything; they never reach the outputs.
        if raw == b"" or raw.startswith(b"#"):
            continue
        where = f"line {line_number}"
        line = decode_line(raw, where)
        if line.startswith("language "):
            match = LANGUAGE_LINE.fullmatch(line)
            if not match:
                raise CatalogueError(
                    f"{where}: a language is declared as "
                    f"'language <code> <Name> <Windows id as 0xNNNN>': {line}")
            code, name, windows_id = match[1], match[2], int(match[3], 16)
            if current is not None:
                raise CatalogueError(f"{where}: languages are declared before the first message")
            # Both platforms pick a language by its language alone (the code; Windows' primary
            # language), so two declarations of one language could never both be chosen.
            primary = windows_id & 0x3FF
            if (code == "language" or any(code == known[0] or name == known[1] or
                                          primary == known[2] & 0x3FF for known in languages)):
                raise CatalogueError(f"{where}: language {code} {name} given twice")
            languages.append((code, name, windows_id))
            continue
        match = MESSAGE_LINE.fullmatch(line)
        if match:
            message_id, message_name = match[1], match[2]
            if int(message_id) > 65535:
                raise CatalogueError(f"{where}: {message_id} is not a 16-bit id")
            if message_id in seen_ids or message_name in seen_names:
                raise CatalogueError(f"{where}: {message_name} {message_id} given twice")
            if not languages:
                raise CatalogueError(
                    f"{where}: no language is declared before the first message")
            seen_ids.add(message_id)
            seen_names.add(message_name)
            close_message(current, languages, messages)
            current = (message_id, message_name, {})
            continue
        match = TEXT_LINE.fullmatch(line)
        if not match:
            raise CatalogueError(f"{where} not understood: {line}")
        language, text = match[1], match[2]
        if language not in [known[0] for known in languages]:
            raise CatalogueError(f"{where}: no language '{language}' is declared")
        if current is None:
            raise CatalogueError(f"{where}: text before any message id")
        if language in current[2]:
            raise CatalogueError(f"{where}: second '{language}' text for {current[1]}")
        refuse_unsafe(text, f"messages {where}")
        current[2][language] = text.replace("{WEB}", web_address)

    close_message(current, languages, messages)
    if not messages:
        raise CatalogueError("the source holds no messages")

    ids_h = [HEADER, "#pragma once\n\n#include <cstdint>\n\nusing MessageId = std::uint16_t;\n\n"]
    table = [HEADER, "// Rows of {id, language index, text}.\nconstexpr CatalogueEntry kEntries[] = {\n"]
    string_tables = {code: [] for code, _, _ in languages}
    for message_id, message_name, texts in messages:
        ids_h.append(f"inline constexpr MessageId {message_name} = {message_id};\n")
        for index, (code, _, _) in enumerate(languages):
            cpp_text, rc_text = texts[index]
            table.append(f'{{{message_name}, {index}, L"{cpp_text}"}},\n')
            string_tables[code].append(f'  {message_id}, L"{rc_text}"\n')
    table.append("};\n")

    # Windows tags a string table with the primary language (low 10 bits) and the sublanguage.
    rc = [HEADER, "#pragma code_page(65001)\n"]
    languages_inc = [HEADER, "// The declared languages, in order: {code, Windows language id}.\n",
                     "constexpr CatalogueLanguage kLanguages[] = {\n"]
    for code, name, windows_id in languages:
        languages_inc.append(f'{{"{code}", 0x{windows_id:04x}}},\n')
        rc.append(f"\n// {name}\nLANGUAGE 0x{windows_id & 0x3FF:02x}, 0x{windows_id >> 10:02x}\n"
                  f"STRINGTABLE\nBEGIN\n{''.join(string_tables[code])}END\n")
    languages_inc.append("};\n")
    rc.append("// The including script's LANGUAGE is the last table's from here on; "
              "it sets its own again.\n")

    enum_names = ", ".join(name for _, name, _ in languages)
    languages_h = [HEADER, "#pragma once\n\n// The catalogue's languages in the order declared; "
                   "the first is the fallback.\n", f"enum class Language {{ {enum_names} }};\n"]

    return {
        "message_ids.h": "".join(ids_h),
        "message_languages.h": "".join(languages_h),
        "message_languages.inc": "".join(languages_inc),
        "message_table.inc": "".join(table),
        "strings.rc": "".join(rc),
    }


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--input", required=True)
    parser.add_argument("--output-dir", required=True)
    parser.add_argument("--web-address", required=True)
    arguments = parser.parse_args(argv)
    try:
        with open(arguments.input, "rb") as source:
            outputs = generate(source.read(), arguments.web_address)
    except (CatalogueError, OSError) as error:
        print(f"generate_messages: {arguments.input}: {error}", file=sys.stderr)
        return 1
    os.makedirs(arguments.output_dir, exist_ok=True)
    for name, content in outputs.items():
        # Binary mode: the outputs are ASCII and keep \n line ends on every system.
        with open(os.path.join(arguments.output_dir, name), "wb") as output:
            output.write(content.encode("ascii"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
