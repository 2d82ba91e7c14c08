#include "platform/win32/device_broadcast.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr std::uint64_t DEVICE_QUERY_REMOVE = 0x8001;
constexpr std::uint64_t DEVNODES_CHANGED = 0x0007;
constexpr std::uint32_t DEVICE_TYPE_VOLUME = 2;

void PutU32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

// A broadcast as Windows lays it out: header, class GUID, then the name in UTF-16. The vector
// holds exactly `readable` bytes (or all of it), so a read past it is caught by the sanitizers.
std::vector<std::uint8_t> Broadcast(std::uint32_t deviceType, const std::u16string& name,
                                    bool terminated, std::uint32_t statedSize,
                                    std::size_t readable = SIZE_MAX) {
  std::vector<std::uint8_t> bytes(BROADCAST_INTERFACE_NAME_AT, 0xCC);
  for (char16_t unit : name) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  if (terminated) {
    bytes.push_back(0);
    bytes.push_back(0);
  }
  PutU32(bytes, 0, statedSize);
  PutU32(bytes, 4, deviceType);
  PutU32(bytes, 8, 0);
  if (readable != SIZE_MAX) {
    bytes.resize(readable, 0x41);
  }
  return bytes;
}

std::uint32_t FullSize(const std::u16string& name, bool terminated) {
  return static_cast<std::uint32_t>(BROADCAST_INTERFACE_NAME_AT + name.size() * 2 +
                                    (terminated ? 2 : 0));
}

const std::u16string PATH = u"\\\\?\\hid#vid_1209&pid_0002#7&1a2b&0&0000#{4d1e55b2}";

struct Case {
  const char* name;
  std::uint64_t code;
  std::vector<std::uint8_t> bytes;
  std::uint32_t deviceType;
  std::wstring path;
};

void PrintTo(const Case& c, std::ostream* out) {
  *out << c.name;
}

std::wstring Wide(const std::u16string& text) {
  return std::wstring(text.begin(), text.end());
}

class DeviceBroadcastTest : public testing::TestWithParam<Case> {};

TEST_P(DeviceBroadcastTest, YieldsTheEventWithinTheStatedSize) {
  const Case& c = GetParam();
  const DeviceBroadcast event = ReadDeviceBroadcast(c.code, c.bytes);
  EXPECT_EQ(event.code, c.code);
  EXPECT_EQ(event.deviceType, c.deviceType);
  EXPECT_EQ(event.interfacePath, c.path);
}

// The logic's names for the codes: only the two that carry a broadcast are an arrival or a
// removal, and only those can concern a device interface.
TEST(DeviceBroadcast, NamesArrivalAndRemovalCompleteOnly) {
  const struct {
    std::uint64_t code;
    DeviceChange change;
  } cases[] = {{DBT_CODE_DEVICE_ARRIVAL, DeviceChange::Arrival},
               {DBT_CODE_DEVICE_REMOVE_COMPLETE, DeviceChange::Removal},
               {DEVICE_QUERY_REMOVE, DeviceChange::Other},
               {DEVNODES_CHANGED, DeviceChange::Other},
               {0x8003, DeviceChange::Other},
               {0x18000, DeviceChange::Other}};
  for (const auto& c : cases) {
    DeviceBroadcast event;
    event.code = c.code;
    event.deviceType = DBT_TYPE_DEVICE_INTERFACE;
    EXPECT_EQ(event.change(), c.change) << c.code;
    EXPECT_EQ(event.isDeviceInterface(), c.change != DeviceChange::Other) << c.code;
  }
  DeviceBroadcast volume;
  volume.code = DBT_CODE_DEVICE_ARRIVAL;
  volume.deviceType = DEVICE_TYPE_VOLUME;
  EXPECT_FALSE(volume.isDeviceInterface());
}

INSTANTIATE_TEST_SUITE_P(
    Broadcasts, DeviceBroadcastTest,
    testing::Values(
        Case{"ArrivalOfAnInterfaceCarriesItsPath", DBT_CODE_DEVICE_ARRIVAL,
             Broadcast(DBT_TYPE_DEVICE_INTERFACE, PATH, true, FullSize(PATH, true)),
             DBT_TYPE_DEVICE_INTERFACE, Wide(PATH)},
        Case{"RemovalOfAnInterfaceCarriesItsPath", DBT_CODE_DEVICE_REMOVE_COMPLETE,
             Broadcast(DBT_TYPE_DEVICE_INTERFACE, PATH, true, FullSize(PATH, true)),
             DBT_TYPE_DEVICE_INTERFACE, Wide(PATH)},
        Case{"NonAsciiPathUnitsComeThrough", DBT_CODE_DEVICE_ARRIVAL,
             Broadcast(DBT_TYPE_DEVICE_INTERFACE, u"\\\\?\\ger\u00e4t\u2122", true,
                       FullSize(u"\\\\?\\ger\u00e4t\u2122", true)),
             DBT_TYPE_DEVICE_INTERFACE, L"\\\\?\\ger\u00e4t\u2122"},
        Case{"OtherDeviceTypeCarriesNoPath", DBT_CODE_DEVICE_ARRIVAL,
             Broadcast(DEVICE_TYPE_VOLUME, PATH, true, FullSize(PATH, true)), DEVICE_TYPE_VOLUME,
             L""},
        Case{"OtherCodeIsNotRead", DEVICE_QUERY_REMOVE,
             Broadcast(DBT_TYPE_DEVICE_INTERFACE, PATH, true, FullSize(PATH, true)), 0, L""},
        Case{"OtherCodeWithoutBroadcast", DEVNODES_CHANGED, {}, 0, L""},
        Case{"UnterminatedNameIsCutAtTheStatedSize", DBT_CODE_DEVICE_ARRIVAL,
             Broadcast(DBT_TYPE_DEVICE_INTERFACE, u"\\\\?\\hid#abc", false,
                       FullSize(u"\\\\?\\hid#abc", false)),
             DBT_TYPE_DEVICE_INTERFACE, L"\\\\?\\hid#abc"},
        Case{"StatedSizeShorterThanTheNameCutsIt", DBT_CODE_DEVICE_ARRIVAL,
             Broadcast(DBT_TYPE_DEVICE_INTERFACE, u"\\\\?\\hid#abc", true,
                       static_cast<std::uint32_t>(BROADCAST_INTERFACE_NAME_AT + 8)),
             DBT_TYPE_DEVICE_INTERFACE, L"\\\\?\\"},
        Case{"OddStatedSizeDropsTheHalfUnit", DBT_CODE_DEVICE_ARRIVAL,
             Broadcast(DBT_TYPE_DEVICE_INTERFACE, u"abc", false,
                       static_cast<std::uint32_t>(BROADCAST_INTERFACE_NAME_AT + 5)),
             DBT_TYPE_DEVICE_INTERFACE, L"ab"},
        Case{"StatedSizeBeyondTheReadableBytesIsLimitedToThem", DBT_CODE_DEVICE_ARRIVAL,
             Broadcast(DBT_TYPE_DEVICE_INTERFACE, u"abcdef", false, 4096,
                       BROADCAST_INTERFACE_NAME_AT + 6),
             DBT_TYPE_DEVICE_INTERFACE, L"abc"},
        Case{"HeaderOnlyInterfaceHasEmptyPath", DBT_CODE_DEVICE_REMOVE_COMPLETE,
             Broadcast(DBT_TYPE_DEVICE_INTERFACE, u"", false,
                       static_cast<std::uint32_t>(BROADCAST_INTERFACE_NAME_AT)),
             DBT_TYPE_DEVICE_INTERFACE, L""},
        Case{"StatedSizeBelowTheHeaderGivesNoType", DBT_CODE_DEVICE_ARRIVAL,
             Broadcast(DBT_TYPE_DEVICE_INTERFACE, PATH, true, 8), 0, L""},
        Case{"ReadableBytesBelowTheHeaderGiveNoType", DBT_CODE_DEVICE_ARRIVAL,
             Broadcast(DBT_TYPE_DEVICE_INTERFACE, PATH, true, FullSize(PATH, true), 10), 0, L""},
        Case{"ArrivalWithoutBroadcastCarriesItsCodeAlone", DBT_CODE_DEVICE_ARRIVAL, {}, 0, L""}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
