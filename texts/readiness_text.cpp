#include "texts/readiness_text.h"

#include "texts/message_format.h"
#include "update/firmware_package.h"

const ReadinessText& TextFor(UnitReadiness readiness) {
  static constexpr ReadinessText kReady{IDS_READY, IDS_CLI_READY, IDS_CLI_STATE_READY, "ready",
                                        false};
  static constexpr ReadinessText kWrongMode{IDS_WRONG_MODE, IDS_WRONG_MODE,
                                            IDS_CLI_STATE_WRONG_MODE, "wrong-mode", true};
  static constexpr ReadinessText kNoEsc{IDS_NO_ESC, IDS_NO_ESC, IDS_CLI_STATE_NO_ESC, "no-esc",
                                        true};
  // The dialog's own words for it: the caption of its box.
  static constexpr ReadinessText kIncompatible{IDS_INCOMPATIBLE_HINT, IDS_INCOMPATIBLE_HINT,
                                               IDS_INCOMPATIBLE_CAPTION, "incompatible-esc", true};
  switch (readiness) {
    case UnitReadiness::Ready:
      return kReady;
    case UnitReadiness::WrongMode:
      return kWrongMode;
    case UnitReadiness::NoEsc:
      return kNoEsc;
    case UnitReadiness::IncompatibleEsc:
      return kIncompatible;
  }
  return kNoEsc;
}

std::wstring IncompatibleEscText(const Catalogue& texts) {
  return FormatWithText(texts.Text(IDS_INCOMPATIBLE_TEXT), SUPPORTED_MODEL_NAME);
}
