#include "sim/report_descriptor.h"

namespace sim {
namespace {

void AddByteArrayReport(std::vector<std::uint8_t>& d, std::uint8_t reportId, std::uint8_t main,
                        std::uint32_t length) {
  if (length < 2) {
    return;
  }
  const std::uint32_t count = length - 1;  // the report-ID byte is not report data
  d.insert(d.end(), {0x85, reportId, 0x09, reportId, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08});
  // Report Count with four bytes of data, so any 32-bit length can be stated.
  d.insert(d.end(),
           {0x97, static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(count >> 8),
            static_cast<std::uint8_t>(count >> 16), static_cast<std::uint8_t>(count >> 24)});
  d.insert(d.end(), {main, 0x02});
}

}  // namespace

std::vector<std::uint8_t> BuildReportDescriptor(std::uint32_t inputReportLength,
                                                std::uint32_t outputReportLength) {
  std::vector<std::uint8_t> d = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01};
  AddByteArrayReport(d, 0x01, 0x91, outputReportLength);
  AddByteArrayReport(d, 0x02, 0x81, inputReportLength);
  d.push_back(0xC0);
  return d;
}

}  // namespace sim
