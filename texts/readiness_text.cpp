#include "texts/readiness_text.h"

#include "texts/message_format.h"
#include "update/firmware_package.h"

MessageId ReadinessStatus(UnitReadiness readiness) {
  switch (readiness) {
    case UnitReadiness::Ready:
      return IDS_READY;
    case UnitReadiness::WrongMode:
      return IDS_WRONG_MODE;
    case UnitReadiness::NoEsc:
      return IDS_NO_ESC;
    case UnitReadiness::IncompatibleEsc:
      return IDS_INCOMPATIBLE_HINT;
  }
  return IDS_NO_ESC;
}

std::wstring IncompatibleEscText(const Catalogue& texts) {
  return FormatWithText(texts.Text(IDS_INCOMPATIBLE_TEXT), SUPPORTED_MODEL_NAME);
}
