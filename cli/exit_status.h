#pragma once

#include "update/update_procedure.h"

// The program's exit statuses, one per class of outcome, as --help and the manual list them.
enum class ExitStatus : int {
  Success = 0,
  UsageError = 2,
  NoUnit = 3,
  AccessDenied = 4,
  NotReady = 5,
  Declined = 6,
  NoImage = 7,
  Busy = 8,
  OutputFailed = 9,
  LockFailed = 10,
  OpenFlashFailed = 11,
  EraseFailed = 12,
  AddressFailed = 13,
  TransferFailed = 14,
  Stopped = 15,
  RecordsUnreadable = 20,
};

inline ExitStatus StageFailureStatus(UpdateStage stage) {
  switch (stage) {
    case UpdateStage::Lock:
      return ExitStatus::LockFailed;
    case UpdateStage::OpenFlash:
      return ExitStatus::OpenFlashFailed;
    case UpdateStage::Erase:
      return ExitStatus::EraseFailed;
    case UpdateStage::Address:
      return ExitStatus::AddressFailed;
    case UpdateStage::Transfer:
      return ExitStatus::TransferFailed;
  }
  return ExitStatus::TransferFailed;
}
