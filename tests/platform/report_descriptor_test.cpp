#include "platform/hidapi/report_descriptor.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/named_cases.h"

namespace {

using named_cases::PrintTo;

using Bytes = std::vector<std::uint8_t>;

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes joined;
  for (const Bytes& part : parts) {
    joined.insert(joined.end(), part.begin(), part.end());
  }
  return joined;
}

Bytes Repeat(const Bytes& part, int times) {
  Bytes joined;
  for (int i = 0; i < times; ++i) {
    joined.insert(joined.end(), part.begin(), part.end());
  }
  return joined;
}

// Vendor page 0xFF00, usage 1, application collection: how the unit and most vendor devices
// open their descriptor.
const Bytes kVendorApplication = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01};
const Bytes kEndCollection = {0xC0};
// Usage, logical 0..255, size 8: the body of a byte-array report.
const Bytes kByteArray = {0x09, 0x02, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08};

struct ParsedCase {
  const char* name;
  Bytes descriptor;
  std::uint32_t input;
  std::uint32_t output;
  std::uint32_t feature;
  bool numbered;
};

class WellFormedDescriptor : public ::testing::TestWithParam<ParsedCase> {};

TEST_P(WellFormedDescriptor, StatesTheLongestReportOfEachKindPlusTheIdByte) {
  const ParsedCase& c = GetParam();
  DescriptorReports reports;
  ASSERT_EQ(ParseReportDescriptor(c.descriptor, reports), DescriptorError::None);
  EXPECT_EQ(reports.lengths.input, c.input);
  EXPECT_EQ(reports.lengths.output, c.output);
  EXPECT_EQ(reports.featureLength, c.feature);
  EXPECT_EQ(reports.numbered, c.numbered);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WellFormedDescriptor,
    ::testing::Values(
        ParsedCase{"unit_shape_output_id1_input_id2_64_bytes_each",
                   Join({kVendorApplication,
                         {0x85, 0x01},
                         kByteArray,
                         {0x95, 0x40, 0x91, 0x02},
                         {0x85, 0x02},
                         kByteArray,
                         {0x95, 0x40, 0x81, 0x02},
                         kEndCollection}),
                   65, 65, 0, true},
        ParsedCase{"no_report_ids_still_count_the_id_byte",
                   Join({kVendorApplication,
                         kByteArray,
                         {0x95, 0x40, 0x91, 0x02},
                         kByteArray,
                         {0x95, 0x40, 0x81, 0x02},
                         kEndCollection}),
                   65, 65, 0, false},
        ParsedCase{"boot_keyboard_bits_and_padding",
                   {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15,
                    0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08,
                    0x81, 0x01, 0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91,
                    0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06, 0x75, 0x08, 0x15, 0x00,
                    0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0},
                   9,
                   2,
                   0,
                   false},
        ParsedCase{"several_reports_longest_wins_and_main_items_add_up",
                   Join({kVendorApplication,
                         {0x85, 0x01, 0x75, 0x08, 0x95, 0x08, 0x81, 0x02},
                         {0x85, 0x02, 0x75, 0x08, 0x95, 0x20, 0x81, 0x02},
                         {0x85, 0x03, 0x75, 0x08, 0x95, 0x10, 0x91, 0x02},
                         {0x85, 0x04, 0x75, 0x08, 0x95, 0x1E, 0x91, 0x02, 0x95, 0x1E, 0x91, 0x02},
                         {0x85, 0x05, 0x75, 0x08, 0x95, 0x07, 0xB1, 0x02},
                         kEndCollection}),
                   33, 61, 8, true},
        ParsedCase{"report_id_returns_to_an_earlier_report",
                   Join({kVendorApplication,
                         {0x85, 0x01, 0x75, 0x08, 0x95, 0x10, 0x81, 0x02},
                         {0x85, 0x02, 0x95, 0x14, 0x81, 0x02},
                         {0x85, 0x01, 0x95, 0x08, 0x81, 0x02},
                         kEndCollection}),
                   25, 0, 0, true},
        ParsedCase{"partial_byte_rounds_up",
                   Join({kVendorApplication, {0x75, 0x01, 0x95, 0x0C, 0x81, 0x02}, kEndCollection}),
                   3, 0, 0, false},
        ParsedCase{"long_items_skipped_and_four_byte_data",
                   Join({kVendorApplication,
                         {0xFE, 0x03, 0xF1, 0xAA, 0xBB, 0xCC},
                         {0xFE, 0x00, 0x10},
                         {0x75, 0x08, 0x97, 0x30, 0x00, 0x00, 0x00},
                         {0x81, 0x02},
                         kEndCollection}),
                   49, 0, 0, false},
        ParsedCase{"pop_restores_size_and_count",
                   Join({kVendorApplication,
                         {0x75, 0x08, 0x95, 0x40, 0xA4, 0x75, 0x10, 0x95},
                         {0x02, 0x81, 0x02, 0xB4, 0x81, 0x02},
                         kEndCollection}),
                   69, 0, 0, false},
        ParsedCase{"sixteen_nested_pushes", Join({Repeat({0xA4}, 16), Repeat({0xB4}, 16)}), 0, 0, 0,
                   false},
        ParsedCase{"longest_report_windows_can_state",
                   {0x75, 0x08, 0x96, 0xFE, 0xFF, 0x81, 0x02},
                   65535,
                   0,
                   0,
                   false},
        ParsedCase{"zero_count_reports_have_no_length",
                   Join({kVendorApplication,
                         {0x85, 0x01, 0x75, 0x08, 0x95, 0x00, 0x81, 0x02},
                         {0x91, 0x02},
                         kEndCollection}),
                   0, 0, 0, true},
        ParsedCase{"empty", {}, 0, 0, 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusedCase {
  const char* name;
  Bytes descriptor;
  DescriptorError error;
};

class MalformedDescriptor : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(MalformedDescriptor, IsRefusedWithItsReasonAndLeavesTheResultAlone) {
  const RefusedCase& c = GetParam();
  DescriptorReports reports;
  reports.lengths = {7, 9};
  reports.featureLength = 11;
  EXPECT_EQ(ParseReportDescriptor(c.descriptor, reports), c.error);
  EXPECT_EQ(reports.lengths.input, 7u);
  EXPECT_EQ(reports.lengths.output, 9u);
  EXPECT_EQ(reports.featureLength, 11u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MalformedDescriptor,
    ::testing::Values(
        RefusedCase{"one_byte_item_cut_off", {0x06, 0x00, 0xFF, 0x75}, DescriptorError::Truncated},
        RefusedCase{"two_byte_item_cut_off", {0x06, 0x00}, DescriptorError::Truncated},
        RefusedCase{"four_byte_item_cut_off", {0x97, 0x01, 0x02, 0x03}, DescriptorError::Truncated},
        RefusedCase{
            "long_item_data_cut_off", {0xFE, 0x05, 0x00, 0x01, 0x02}, DescriptorError::Truncated},
        RefusedCase{"long_item_header_cut_off", {0xFE, 0x02}, DescriptorError::Truncated},
        RefusedCase{"garbage_ff", {0xFF, 0xFF, 0xFF, 0xFF}, DescriptorError::Truncated},
        RefusedCase{"report_id_zero", {0x85, 0x00}, DescriptorError::BadReportId},
        RefusedCase{"report_id_256", {0x86, 0x00, 0x01}, DescriptorError::BadReportId},
        RefusedCase{"pop_without_push", {0x75, 0x08, 0xB4}, DescriptorError::GlobalStack},
        RefusedCase{"seventeen_nested_pushes", Repeat({0xA4}, 17), DescriptorError::GlobalStack},
        RefusedCase{"end_without_collection", {0xC0}, DescriptorError::Collections},
        RefusedCase{
            "collection_left_open", {0xA1, 0x01, 0xA1, 0x00, 0xC0}, DescriptorError::Collections},
        RefusedCase{"one_bit_past_the_longest_report",
                    {0x75, 0x08, 0x96, 0xFE, 0xFF, 0x81, 0x02, 0x75, 0x01, 0x95, 0x01, 0x81, 0x02},
                    DescriptorError::ReportTooLong},
        RefusedCase{"largest_size_times_largest_count",
                    {0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x91, 0x02},
                    DescriptorError::ReportTooLong}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
