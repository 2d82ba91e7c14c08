#include "texts/failure_text.h"

#include "texts/message_format.h"

MessageId StageFailureMessage(UpdateStage stage) {
  switch (stage) {
    case UpdateStage::Lock:
      return IDS_LOCK_FAILED;
    case UpdateStage::OpenFlash:
      return IDS_PROTECT_FAILED;
    case UpdateStage::Erase:
      return IDS_ERASE_FAILED;
    case UpdateStage::Address:
      return IDS_SET_ADDRESS_FAILED;
    case UpdateStage::Transfer:
      return IDS_WRITE_BLOCK_FAILED;
  }
  return IDS_WRITE_BLOCK_FAILED;
}

MessageId StageFailureMessage(UpdateStage stage, ResultCode result) {
  if (result == RESULT_OTHER_WRITER || result == RESULT_BUSY) {
    return IDS_OTHER_WRITER;
  }
  return StageFailureMessage(stage);
}

MessageId ImageRefusalMessage(SessionEnd end) {
  return end == SessionEnd::ImageMissing ? IDS_IMAGE_MISSING : IDS_IMAGE_DAMAGED;
}

std::wstring ClaimFailureText(std::uint32_t osError, const Catalogue& texts) {
  return FailureText(texts.Text(IDS_UNIT_NOT_CLAIMED), RESULT_CLAIM_FAILED, osError, texts);
}

std::wstring FailureText(std::wstring_view message, ResultCode result, std::uint32_t osError,
                         const Catalogue& texts) {
  std::wstring text(message);
  if (result != RESULT_NO_DEVICE) {
    text += L"\n";
    text +=
        FormatWithHexPair(texts.Text(IDS_ERROR_CODES), static_cast<std::uint32_t>(result), osError);
  }
  return text;
}
