#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/result_code.h"
#include "texts/message_catalogue.h"
#include "update/update_procedure.h"
#include "update/update_session.h"

// The message that names a failed update stage.
MessageId StageFailureMessage(UpdateStage stage);
// The message for an update that failed at `stage` with `result`: another program writing to the
// unit (RESULT_OTHER_WRITER, or RESULT_BUSY from the listen before the first request) has its
// own, whatever the stage; any other result names the stage.
MessageId StageFailureMessage(UpdateStage stage, ResultCode result);

// The message that refuses an update for the carried image (SessionEnd::ImageMissing or
// ImageDamaged).
MessageId ImageRefusalMessage(SessionEnd end);

// A unit whose claim failed (RESULT_CLAIM_FAILED): its own message with the two numbers.
std::wstring ClaimFailureText(std::uint32_t osError, const Catalogue& texts);

// What the user reads about a failure: the message alone for -1 (the unit was not there to ask,
// so there is no code worth showing), else the message, a line break and the code line with the
// result and the OS error as eight hexadecimal digits each.
std::wstring FailureText(std::wstring_view message, ResultCode result, std::uint32_t osError,
                         const Catalogue& texts);
