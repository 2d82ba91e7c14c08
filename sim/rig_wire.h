// The one encoding of what the test rigs hand each other about the simulated bus: the hidapi
// stand-in's socket messages and the device list the Wine driver publishes for the hid.dll and
// setupapi.dll doubles. Standard C++ and header-only, so that the mingw-built doubles include it
// without linking anything; how a message travels (socket, registry value) is each rig's own.
//
// Integers are little-endian; a byte string is a u32 length and its bytes; text is UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// One device as the OS lists it: what enumeration shows (hidapi's fields), and what Windows reads
// from an open handle (attributes and capabilities), which a device may refuse.
struct Listing {
  std::string path;
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint16_t releaseNumber = 0;
  std::uint16_t usagePage = 0;
  std::uint16_t usage = 0;
  std::int32_t interfaceNumber = 0;
  std::string manufacturer;
  std::string product;
  std::string serialNumber;
  std::uint32_t inputReportLength = 0;  // both include the report-ID byte
  std::uint32_t outputReportLength = 0;
  bool attributesReadable = true;
  bool capsReadable = true;

  bool operator==(const Listing&) const = default;
};

class MessageWriter {
 public:
  MessageWriter& U8(std::uint8_t v) {
    bytes_.push_back(v);
    return *this;
  }
  MessageWriter& U16(std::uint16_t v) { return Little(v, 2); }
  MessageWriter& U32(std::uint32_t v) { return Little(v, 4); }
  MessageWriter& I32(std::int32_t v) { return Little(static_cast<std::uint32_t>(v), 4); }
  MessageWriter& Bytes(std::span<const std::uint8_t> data) {
    U32(static_cast<std::uint32_t>(data.size()));
    bytes_.insert(bytes_.end(), data.begin(), data.end());
    return *this;
  }
  MessageWriter& Str(std::string_view s) {
    return Bytes({reinterpret_cast<const std::uint8_t*>(s.data()), s.size()});
  }
  MessageWriter& Entry(const Listing& l) {
    Str(l.path).U16(l.vendorId).U16(l.productId).U16(l.releaseNumber);
    U16(l.usagePage).U16(l.usage).I32(l.interfaceNumber);
    Str(l.manufacturer).Str(l.product).Str(l.serialNumber);
    U32(l.inputReportLength).U32(l.outputReportLength);
    return U8(static_cast<std::uint8_t>((l.attributesReadable ? 0 : 1) | (l.capsReadable ? 0 : 2)));
  }
  // A count, then each entry.
  MessageWriter& Entries(const std::vector<Listing>& listings) {
    U32(static_cast<std::uint32_t>(listings.size()));
    for (const Listing& l : listings) {
      Entry(l);
    }
    return *this;
  }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  MessageWriter& Little(std::uint32_t v, int n) {
    for (int i = 0; i < n; ++i) {
      bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    return *this;
  }
  std::vector<std::uint8_t> bytes_;
};

// Reads a message front to back; any read past its end, or a field out of its range, clears ok()
// and yields zeros.
class MessageReader {
 public:
  explicit MessageReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  bool ok() const { return ok_; }
  std::uint8_t U8() { return static_cast<std::uint8_t>(Little(1)); }
  std::uint16_t U16() { return static_cast<std::uint16_t>(Little(2)); }
  std::uint32_t U32() { return Little(4); }
  std::int32_t I32() { return static_cast<std::int32_t>(Little(4)); }
  std::vector<std::uint8_t> Bytes() {
    const std::uint32_t n = U32();
    if (!ok_ || bytes_.size() - at_ < n) {
      ok_ = false;
      return {};
    }
    std::vector<std::uint8_t> data(bytes_.begin() + at_, bytes_.begin() + at_ + n);
    at_ += n;
    return data;
  }
  std::string Str() {
    const std::vector<std::uint8_t> data = Bytes();
    return std::string(data.begin(), data.end());
  }
  Listing Entry() {
    Listing l;
    l.path = Str();
    l.vendorId = U16();
    l.productId = U16();
    l.releaseNumber = U16();
    l.usagePage = U16();
    l.usage = U16();
    l.interfaceNumber = I32();
    l.manufacturer = Str();
    l.product = Str();
    l.serialNumber = Str();
    l.inputReportLength = U32();
    l.outputReportLength = U32();
    const std::uint8_t flags = U8();
    ok_ = ok_ && flags <= 3;
    l.attributesReadable = (flags & 1) == 0;
    l.capsReadable = (flags & 2) == 0;
    return ok_ ? l : Listing{};
  }
  // A count, then that many entries; empty and !ok() when any of them is cut short (a damaged
  // count ends at the first missing entry: nothing is reserved from it).
  std::vector<Listing> Entries() {
    const std::uint32_t count = U32();
    std::vector<Listing> listings;
    for (std::uint32_t i = 0; ok_ && i < count; ++i) {
      listings.push_back(Entry());
    }
    return ok_ ? listings : std::vector<Listing>{};
  }

 private:
  std::uint32_t Little(std::size_t n) {
    if (!ok_ || bytes_.size() - at_ < n) {
      ok_ = false;
      return 0;
    }
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < n; ++i) {
      v |= static_cast<std::uint32_t>(bytes_[at_ + i]) << (8 * i);
    }
    at_ += n;
    return v;
  }
  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
  bool ok_ = true;
};

}  // namespace sim
