#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "protocol/result_code.h"
#include "protocol/unit_link.h"
#include "protocol/waiter.h"
#include "update/progress_window.h"
#include "update/update_guard.h"

inline constexpr std::size_t BLOCK_BYTES = 48;

// How many blocks an image of `imageBytes` is sent in; a shorter tail is a block of its own.
inline constexpr std::size_t BlocksForImage(std::size_t imageBytes) {
  return (imageBytes + BLOCK_BYTES - 1) / BLOCK_BYTES;
}

// The stages of an update in the order the unit needs them.
enum class UpdateStage { Lock, OpenFlash, Erase, Address, Transfer };

// Told each stage as the procedure reaches it, for a record of the update. A stage begun and
// never ended was stopped or cut short.
class StageObserver {
 public:
  virtual ~StageObserver() = default;
  virtual void StageBegun(UpdateStage stage) = 0;
  // The stage's result: success, or the code and OS error that failed it.
  virtual void StageEnded(UpdateStage stage, const RequestResult& result) = 0;
};

// How an update ended: success, or the stage that failed with its result (the code and the OS
// error of the call that failed it), or the stage before which the user had it stopped.
struct UpdateOutcome {
  std::optional<UpdateStage> failedStage;
  RequestResult result;
  bool stopped = false;

  bool succeeded() const { return !failedStage.has_value(); }
  bool operator==(const UpdateOutcome&) const = default;
};

// Writes an image into the ESC, from the system lock to the closing pair: the requests, the fixed
// waits between them, the progress display during the transfer. It asks and shows nothing else;
// the front end turns the outcome into words.
class UpdateProcedure {
 public:
  UpdateProcedure(UnitLink& link, ProgressWindow& progress, Waiter& waiter)
      : link_(link), progress_(progress), waiter_(waiter) {}

  // `image` must not be empty. On success the link stays open and records the new firmware
  // version; on failure the progress display is closed and nothing else is touched (the link
  // stays as the failure left it, for the caller to abandon). A stop is handled like a failure
  // before the stage it names: nothing more is sent, the closing pair included.
  // `observer`, where given, is told each stage's start and result.
  UpdateOutcome Run(std::span<const std::uint8_t> image, std::wstring_view progressTitle,
                    const StopRequest* stop = nullptr, StageObserver* observer = nullptr);

 private:
  std::optional<UpdateOutcome> RunStages(const StopRequest* stop, StageObserver* observer);
  std::optional<UpdateOutcome> Transfer(std::span<const std::uint8_t> image,
                                        const StopRequest* stop, StageObserver* observer);
  UnitLink& link_;
  ProgressWindow& progress_;
  Waiter& waiter_;
};
