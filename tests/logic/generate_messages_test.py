#!/usr/bin/env python3
"""The catalogue generator: what it refuses, naming the reason, and how it escapes characters."""

import importlib.util
import os
import pathlib
import subprocess
import sys
import tempfile
import unittest

HERE = pathlib.Path(__file__).resolve().parent
GENERATOR = HERE.parents[1] / "cmake" / "generate_messages.py"
loader_spec = importlib.util.spec_from_file_location("generate_messages", GENERATOR)
generator = importlib.util.module_from_spec(loader_spec)
loader_spec.loader.exec_module(generator)

# Each bad catalogue and the words its refusal must contain.
REFUSALS = {
    "semicolon": "contains ';', which is not supported",
    "bracket": "contains '[', which is not supported",
    "quote": "contains '\"'",
    "escape": "backslash other than",
    "missing_text": "IDS_READY (40000) lacks the de text",
    "undeclared_language": "no language 'fr' is declared",
    "no_language": "no language is declared before the first message",
    "late_language": "languages are declared before the first message",
    "same_language": "language at Austrian given twice",
    "duplicate": "given twice",
    "invalid_utf8": "is not valid UTF-8",
    "control": "contains control character 9",
}


class Refusals(unittest.TestCase):
    def test_each_bad_catalogue_is_refused_with_its_reason(self):
        for name, reason in REFUSALS.items():
            with self.subTest(name), tempfile.TemporaryDirectory() as out:
                run = subprocess.run(
                    [sys.executable, GENERATOR, "--input", HERE / "bad_catalogues" / f"{name}.txt",
                     "--output-dir", out, "--web-address", "www.talvero.example"],
                    capture_output=True, text=True)
                self.assertNotEqual(run.returncode, 0)
                self.assertIn(reason, run.stderr)
                self.assertEqual(os.listdir(out), [], "a refused catalogue writes nothing")

    def test_source_without_messages_and_unsafe_address_are_refused(self):
        header = b"language en English 0x0409\n"
        with self.assertRaisesRegex(generator.CatalogueError, "no messages"):
            generator.generate(header, "www.example")
        with self.assertRaisesRegex(generator.CatalogueError, "WEB_ADDRESS contains ';'"):
            generator.generate(header + b"40000 IDS_A\nen a\n", "www;example")


class Outputs(unittest.TestCase):
    def test_characters_of_one_to_four_bytes_are_escaped_in_both_outputs(self):
        outputs = generator.generate((HERE / "catalogues" / "escapes.txt").read_bytes(),
                                     "www.talvero.example")
        expected = {
            "message_ids.h": "inline constexpr MessageId IDS_FIRST = 40000;",
            "message_table.inc": '{IDS_FIRST, 0, L"A\\nb"},',
            "message_languages.h": "enum class Language { English, German };",
            "message_languages.inc": '{"de", 0x0407},',
            "strings.rc": "LANGUAGE 0x07, 0x01",
        }
        for name, line in expected.items():
            self.assertIn(line + "\n", outputs[name], name)
        self.assertIn('{IDS_FIRST, 1, L"\\u00fcber Windows\\u2122PC \\U0001f600face \\u00df"},\n',
                      outputs["message_table.inc"])
        self.assertIn('  40000, L"A\\r\\nb"\n', outputs["strings.rc"])
        self.assertIn('  40000, L"\\x00fcber Windows\\x2122PC \\xd83d\\xde00face \\x00df"\n',
                      outputs["strings.rc"])

    def test_bom_crlf_comments_and_the_web_address(self):
        source = (b"\xef\xbb\xbf# any bytes in a comment: \xff\r\n"
                  b"language en English 0x0409\r\n\r\n40001 IDS_SEE\r\nen See {WEB}.\r\n")
        outputs = generator.generate(source, "www.talvero.example")
        self.assertIn('{IDS_SEE, 0, L"See www.talvero.example."},\n', outputs["message_table.inc"])
        for content in outputs.values():
            content.encode("ascii")


if __name__ == "__main__":
    unittest.main()
