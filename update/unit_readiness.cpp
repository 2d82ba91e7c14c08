#include "update/unit_readiness.h"

#include "update/firmware_package.h"

UnitReadiness JudgeUnit(const UnitIdentity& identity) {
  if (identity.unitMode() != 0) {
    return UnitReadiness::WrongMode;
  }
  if (identity.escState() != ESC_STATE_READY) {
    return UnitReadiness::NoEsc;
  }
  return IsSupportedEscType(identity.escTypeId()) ? UnitReadiness::Ready
                                                  : UnitReadiness::IncompatibleEsc;
}
