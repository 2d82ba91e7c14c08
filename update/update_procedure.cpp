#include "update/update_procedure.h"

#include <algorithm>
#include <array>

#include "update/firmware_package.h"

namespace {

constexpr std::uint32_t STAGE_GAP_MS = 20;
constexpr std::uint32_t AFTER_ERASE_MS = 4000;
constexpr std::uint32_t AFTER_BLOCK_MS = 20;
constexpr std::size_t WORD_BYTES = 4;

// The stages before the transfer, in the order the unit needs them.
struct Stage {
  UpdateStage stage;
  RequestResult (*operation)(UnitLink& link);
  std::uint32_t waitAfterMs;  // waited whatever the result, before it is judged
};

constexpr Stage kStages[] = {
    {UpdateStage::Lock, [](UnitLink& link) { return link.SetSystemLock(true); }, 0},
    {UpdateStage::OpenFlash, [](UnitLink& link) { return link.SetEscWriteProtection(false); }, 0},
    // The unit erases for a while after it has answered.
    {UpdateStage::Erase, [](UnitLink& link) { return link.Erase(); }, AFTER_ERASE_MS},
    {UpdateStage::Address, [](UnitLink& link) { return link.SetAddress(); }, 0},
};

bool StopRequested(const StopRequest* stop) {
  return stop != nullptr && stop->Requested();
}

UpdateOutcome Stopped(UpdateStage before) {
  return {before, {}, true};
}

UpdateOutcome Failed(UpdateStage stage, RequestResult result) {
  return {stage, result, false};
}

void Begun(StageObserver* observer, UpdateStage stage) {
  if (observer != nullptr) {
    observer->StageBegun(stage);
  }
}

void Ended(StageObserver* observer, UpdateStage stage, const RequestResult& result) {
  if (observer != nullptr) {
    observer->StageEnded(stage, result);
  }
}

}  // namespace

std::optional<UpdateOutcome> UpdateProcedure::RunStages(const StopRequest* stop,
                                                        StageObserver* observer) {
  bool first = true;
  for (const Stage& stage : kStages) {
    if (!first) {
      waiter_.Wait(STAGE_GAP_MS);
    }
    first = false;
    if (StopRequested(stop)) {
      return Stopped(stage.stage);
    }
    Begun(observer, stage.stage);
    // The stage checks for an open unit itself: one removed during a confirmation gives -1.
    const RequestResult result = stage.operation(link_);
    if (stage.waitAfterMs != 0) {
      waiter_.Wait(stage.waitAfterMs);
    }
    Ended(observer, stage.stage, result);
    if (!result.ok()) {
      return Failed(stage.stage, result);
    }
  }
  return std::nullopt;
}

// Sends the image in 48-byte blocks. A tail shorter than a block goes from a 0xFF-filled buffer,
// rounded up to whole words so that no byte of an image whose length is not a multiple of 4 is
// dropped.
std::optional<UpdateOutcome> UpdateProcedure::Transfer(std::span<const std::uint8_t> image,
                                                       const StopRequest* stop,
                                                       StageObserver* observer) {
  // Progress is computed in 32 bits; images stay far below the 42,949,673 bytes where the
  // product (length * 100) would overflow.
  const std::uint32_t length = static_cast<std::uint32_t>(image.size());
  std::uint32_t remaining = length;
  std::size_t cursor = 0;

  while (remaining != 0) {
    if (StopRequested(stop)) {
      progress_.Close();
      return Stopped(UpdateStage::Transfer);
    }
    RequestResult result;
    if (remaining >= BLOCK_BYTES) {
      result = link_.WriteBlock(image.subspan(cursor, BLOCK_BYTES), BLOCK_BYTES / WORD_BYTES);
      cursor += BLOCK_BYTES;
      remaining -= static_cast<std::uint32_t>(BLOCK_BYTES);
    } else {
      std::array<std::uint8_t, BLOCK_BYTES> finalBlock;
      finalBlock.fill(0xFF);
      const std::span<const std::uint8_t> tail = image.subspan(cursor, remaining);
      std::copy(tail.begin(), tail.end(), finalBlock.begin());
      result = link_.WriteBlock(finalBlock, (remaining + WORD_BYTES - 1) / WORD_BYTES);
      remaining = 0;
    }

    if (!result.ok()) {
      progress_.Close();
      Ended(observer, UpdateStage::Transfer, result);
      return Failed(UpdateStage::Transfer, result);
    }

    progress_.SetPosition((length - remaining) * 100u / length);
    waiter_.Wait(AFTER_BLOCK_MS);
  }
  Ended(observer, UpdateStage::Transfer, {});
  return std::nullopt;
}

UpdateOutcome UpdateProcedure::Run(std::span<const std::uint8_t> image,
                                   std::wstring_view progressTitle, const StopRequest* stop,
                                   StageObserver* observer) {
  if (const auto failed = RunStages(stop, observer)) {
    return *failed;
  }

  waiter_.Wait(STAGE_GAP_MS);
  // A stop before the first block still counts the transfer as begun: its display was opened.
  Begun(observer, UpdateStage::Transfer);
  progress_.Open(progressTitle);
  if (const auto failed = Transfer(image, stop, observer)) {
    return *failed;
  }
  progress_.Close();

  // Back-to-back and never judged: the firmware is already written.
  link_.SetEscWriteProtection(true);
  link_.SetSystemLock(false);

  link_.RecordInstalledFirmware(FIRMWARE_VERSION);
  return {};
}
