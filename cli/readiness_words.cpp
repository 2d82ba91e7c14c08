#include "cli/readiness_words.h"

const ReadinessWords& WordsFor(UnitReadiness readiness) {
  static constexpr ReadinessWords kReady{"ready", IDS_CLI_STATE_READY, IDS_CLI_READY};
  static constexpr ReadinessWords kWrongMode{"wrong-mode", IDS_CLI_STATE_WRONG_MODE,
                                             IDS_WRONG_MODE};
  static constexpr ReadinessWords kNoEsc{"no-esc", IDS_CLI_STATE_NO_ESC, IDS_NO_ESC};
  // The dialog's own words for it: the caption of its box.
  static constexpr ReadinessWords kIncompatible{"incompatible-esc", IDS_INCOMPATIBLE_CAPTION,
                                                IDS_INCOMPATIBLE_HINT};
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
