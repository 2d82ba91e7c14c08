// Expected texts, taken from the generated message table (the one source of the program's
// strings) so that no text is typed a second time here.
#pragma once

#include <cstdint>
#include <string>

#include "texts/message_catalogue.h"

namespace e2e {

// The text as the program shows it: the built-in table's text (the same source as the program's
// string tables) with its line breaks as "\r\n".
std::wstring Msg(MessageId id, Language lang);
// status + "\r\n\r\n" + instructions: the hint box's guidance form.
std::wstring Guidance(MessageId status, Language lang);
// Message 40034 with the model name in place of its %s.
std::wstring IncompatibleText(Language lang);
// The failure box text: the message alone for -1, else the message, "\r\n" and the code line.
std::wstring FailureText(MessageId message, std::int32_t result, std::uint32_t lastError,
                         Language lang);
// Message 40036's text before its first number ("...errorcode: 0x"), for checking a code line
// whose second number is the operating system's.
std::wstring CodeLinePrefix(Language lang);

}  // namespace e2e
