#include "platform/hidapi/report_descriptor.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace {

// Item prefixes: bits 0..1 the data size (0, 1, 2 or 4 bytes), bits 2..3 the type, bits 4..7 the
// tag; 0xFE starts a long item, which carries its size and tag in the next two bytes.
constexpr std::uint8_t LONG_ITEM_PREFIX = 0xFE;
constexpr std::uint8_t TYPE_MAIN = 0;
constexpr std::uint8_t TYPE_GLOBAL = 1;

constexpr std::uint8_t MAIN_INPUT = 0x8;
constexpr std::uint8_t MAIN_OUTPUT = 0x9;
constexpr std::uint8_t MAIN_COLLECTION = 0xA;
constexpr std::uint8_t MAIN_FEATURE = 0xB;
constexpr std::uint8_t MAIN_END_COLLECTION = 0xC;

constexpr std::uint8_t GLOBAL_REPORT_SIZE = 0x7;
constexpr std::uint8_t GLOBAL_REPORT_ID = 0x8;
constexpr std::uint8_t GLOBAL_REPORT_COUNT = 0x9;
constexpr std::uint8_t GLOBAL_PUSH = 0xA;
constexpr std::uint8_t GLOBAL_POP = 0xB;

// Linux accepts four pushed states; a little more room costs nothing and still bounds the stack.
constexpr std::size_t MAX_PUSH_DEPTH = 16;
// Windows states report lengths in 16 bits, the report-ID byte included.
constexpr std::uint64_t MAX_REPORT_BITS = 8ULL * (0xFFFF - 1);

// The global items the lengths depend on; Push and Pop save and restore them together.
struct GlobalState {
  std::uint32_t reportSize = 0;
  std::uint32_t reportCount = 0;
  std::uint32_t reportId = 0;
};

enum Kind : std::size_t { KIND_INPUT, KIND_OUTPUT, KIND_FEATURE, KIND_COUNT };

std::uint32_t ItemValue(std::span<const std::uint8_t> data) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < data.size(); ++i) {
    value |= static_cast<std::uint32_t>(data[i]) << (8 * i);
  }
  return value;
}

std::uint32_t LengthWithId(std::uint64_t longestBits) {
  return longestBits == 0 ? 0 : static_cast<std::uint32_t>((longestBits + 7) / 8 + 1);
}

}  // namespace

DescriptorError ParseReportDescriptor(std::span<const std::uint8_t> descriptor,
                                      DescriptorReports& out) {
  // Bits of each report so far, by kind and report ID (0 stands for "no ID declared").
  std::array<std::array<std::uint64_t, 256>, KIND_COUNT> bits{};
  std::array<GlobalState, MAX_PUSH_DEPTH> pushed{};
  std::size_t pushDepth = 0;
  std::size_t collectionDepth = 0;
  GlobalState state;
  bool numbered = false;

  std::size_t at = 0;
  while (at < descriptor.size()) {
    const std::uint8_t prefix = descriptor[at];
    if (prefix == LONG_ITEM_PREFIX) {
      // No long item tag is defined; the size byte says how much to skip.
      if (descriptor.size() - at < 3 || descriptor.size() - at - 3 < descriptor[at + 1]) {
        return DescriptorError::Truncated;
      }
      at += 3 + descriptor[at + 1];
      continue;
    }
    const std::size_t dataSize = (prefix & 0x03) == 3 ? 4 : (prefix & 0x03);
    if (descriptor.size() - at - 1 < dataSize) {
      return DescriptorError::Truncated;
    }
    const std::uint8_t type = (prefix >> 2) & 0x03;
    const std::uint8_t tag = prefix >> 4;
    const std::uint32_t value = ItemValue(descriptor.subspan(at + 1, dataSize));
    at += 1 + dataSize;

    if (type == TYPE_GLOBAL) {
      switch (tag) {
        case GLOBAL_REPORT_SIZE:
          state.reportSize = value;
          break;
        case GLOBAL_REPORT_COUNT:
          state.reportCount = value;
          break;
        case GLOBAL_REPORT_ID:
          if (value == 0 || value > 0xFF) {
            return DescriptorError::BadReportId;
          }
          state.reportId = value;
          numbered = true;
          break;
        case GLOBAL_PUSH:
          if (pushDepth == MAX_PUSH_DEPTH) {
            return DescriptorError::GlobalStack;
          }
          pushed[pushDepth++] = state;
          break;
        case GLOBAL_POP:
          if (pushDepth == 0) {
            return DescriptorError::GlobalStack;
          }
          state = pushed[--pushDepth];
          break;
        default:
          break;  // usage page, logical and physical ranges, units: no bearing on lengths
      }
      continue;
    }
    if (type != TYPE_MAIN) {
      continue;  // local items (usages, strings, delimiters) and reserved types add no data
    }

    Kind kind = KIND_COUNT;
    switch (tag) {
      case MAIN_INPUT:
        kind = KIND_INPUT;
        break;
      case MAIN_OUTPUT:
        kind = KIND_OUTPUT;
        break;
      case MAIN_FEATURE:
        kind = KIND_FEATURE;
        break;
      case MAIN_COLLECTION:
        ++collectionDepth;
        continue;
      case MAIN_END_COLLECTION:
        if (collectionDepth == 0) {
          return DescriptorError::Collections;
        }
        --collectionDepth;
        continue;
      default:
        continue;  // reserved main tags carry no data
    }
    // Both factors are below 2^32, so their product fits; the sum is checked before it grows.
    const std::uint64_t added = std::uint64_t{state.reportSize} * state.reportCount;
    std::uint64_t& total = bits[kind][state.reportId];
    if (added > MAX_REPORT_BITS - total) {
      return DescriptorError::ReportTooLong;
    }
    total += added;
  }
  if (collectionDepth != 0) {
    return DescriptorError::Collections;
  }

  auto longest = [&](Kind kind) { return *std::max_element(bits[kind].begin(), bits[kind].end()); };
  out.lengths.input = LengthWithId(longest(KIND_INPUT));
  out.lengths.output = LengthWithId(longest(KIND_OUTPUT));
  out.featureLength = LengthWithId(longest(KIND_FEATURE));
  out.numbered = numbered;
  return DescriptorError::None;
}
