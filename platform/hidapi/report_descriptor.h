#pragma once

#include <cstdint>
#include <span>

#include "protocol/hid_transport.h"

// The report lengths a HID report descriptor declares, computed as Windows' HID parser states
// them in its capabilities: the longest report of each kind in whole bytes, plus one for the
// report-ID byte (present in every transfer, 0 for a device without report IDs). Portable and
// free of any HID library, so the host tests and the fuzzer reach it.

enum class DescriptorError {
  None,
  Truncated,      // an item's data runs past the end of the descriptor
  BadReportId,    // a Report ID item of 0 or above 255
  GlobalStack,    // Pop without Push, or Push nested deeper than any real device needs
  Collections,    // End Collection without a Collection, or a Collection left open
  ReportTooLong,  // one report longer than a 16-bit capability length can state
};

struct DescriptorReports {
  ReportLengths lengths;            // 0 for a kind with no report data
  std::uint32_t featureLength = 0;  // the same rule for feature reports
  bool numbered = false;            // the descriptor declares report IDs
};

// Fills `out` only on DescriptorError::None.
DescriptorError ParseReportDescriptor(std::span<const std::uint8_t> descriptor,
                                      DescriptorReports& out);
