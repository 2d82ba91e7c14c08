#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/result_code.h"
#include "ui/message_catalogue.h"
#include "update/image_integrity.h"
#include "update/update_procedure.h"

// The message that names a failed update stage.
MessageId StageFailureMessage(UpdateStage stage);

// The message that refuses an image the check did not find intact.
MessageId ImageRefusalMessage(ImageCheck check);

// What the user reads about a failure: the message alone for -1 (the unit was not there to ask,
// so there is no code worth showing), else the message, a line break and the code line with the
// result and the OS error as eight hexadecimal digits each.
std::wstring FailureText(std::wstring_view message, ResultCode result, std::uint32_t lastError,
                         const Catalogue& texts);
