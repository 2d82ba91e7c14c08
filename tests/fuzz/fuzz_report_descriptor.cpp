// The report descriptor parser against arbitrary bytes: it must end on every input with a
// defined result, and lengths it states must be ones a capability can carry.
#include <cstdint>
#include <span>
#include <vector>

#include "platform/hidapi/report_descriptor.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

bool StatableLength(std::uint32_t length) {
  return length == 0 || (length >= 2 && length <= 0xFFFF);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> descriptor(data, size);
  DescriptorReports reports;
  const DescriptorError error = ParseReportDescriptor(descriptor, reports);
  if (error != DescriptorError::None) {
    FUZZ_CHECK(reports.lengths.input == 0 && reports.lengths.output == 0);
    FUZZ_CHECK(reports.featureLength == 0 && !reports.numbered);
    return 0;
  }
  FUZZ_CHECK(StatableLength(reports.lengths.input));
  FUZZ_CHECK(StatableLength(reports.lengths.output));
  FUZZ_CHECK(StatableLength(reports.featureLength));

  // A long item carries nothing that counts: appending one changes no length.
  std::vector<std::uint8_t> extended(descriptor.begin(), descriptor.end());
  extended.insert(extended.end(), {0xFE, 0x01, 0x00, 0x55});
  DescriptorReports again;
  FUZZ_CHECK(ParseReportDescriptor(extended, again) == DescriptorError::None);
  FUZZ_CHECK(again.lengths.input == reports.lengths.input);
  FUZZ_CHECK(again.lengths.output == reports.lengths.output);
  FUZZ_CHECK(again.featureLength == reports.featureLength);
  FUZZ_CHECK(again.numbered == reports.numbered);
  return 0;
}
