// The wire between the hidapi stand-in library (inside the program under test) and the test
// driver that serves the simulated bus, over the Unix socket named by HIDAPI_STANDIN_SOCKET.
//
// Every message is a 32-bit little-endian payload length, then the payload. Each request gets
// exactly one reply. Enumeration uses a connection of its own; hid_open_path opens a connection
// that then carries that device's requests until hid_close. The driver ends a device's
// connections when it is unplugged.
//
//   request                        reply
//   Enumerate                      u32 count, count x Listing
//   Open      str path             i32 errno (0: opened), then the Listing when opened
//   Write     bytes report         i32 errno (0: written), u32 bytes written
//   Read      u32 buffer length    u8 ReadStatus; Data: bytes; Failed: i32 errno; Silent: nothing
//   Descriptor                     i32 errno (0: read), bytes
//
// Silent means no report will come: the library waits out the caller's time-out (or the end of
// the connection) without asking again, as a read of a unit that never answers does.
#pragma once

#include <sys/socket.h>
#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

inline constexpr char SOCKET_VARIABLE[] = "HIDAPI_STANDIN_SOCKET";
inline constexpr std::uint32_t MAX_MESSAGE_BYTES = 1u << 20;

enum class Op : std::uint8_t { Enumerate = 1, Open = 2, Write = 3, Read = 4, Descriptor = 5 };
enum class ReadStatus : std::uint8_t { Data = 0, Failed = 1, Silent = 2 };

// One entry of hidapi's enumeration.
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
    return Str(l.manufacturer).Str(l.product).Str(l.serialNumber);
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

// Reads a payload front to back; any read past its end clears ok() and yields zeros.
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
    return l;
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

// Whole-buffer socket I/O; false (errno set) when the peer is gone or the call fails.
inline bool SendAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

inline bool ReceiveAll(int fd, std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::recv(fd, data, size, 0);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n == 0) {
      errno = ECONNRESET;
    }
    if (n <= 0) {
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

inline bool SendMessage(int fd, const std::vector<std::uint8_t>& payload) {
  std::vector<std::uint8_t> framed;
  framed.reserve(4 + payload.size());
  for (int i = 0; i < 4; ++i) {
    framed.push_back(static_cast<std::uint8_t>(payload.size() >> (8 * i)));
  }
  framed.insert(framed.end(), payload.begin(), payload.end());
  return SendAll(fd, framed.data(), framed.size());
}

inline bool ReceiveMessage(int fd, std::vector<std::uint8_t>& payload) {
  std::uint8_t header[4];
  if (!ReceiveAll(fd, header, sizeof header)) {
    return false;
  }
  const std::uint32_t size = static_cast<std::uint32_t>(header[0]) | (header[1] << 8) |
                             (header[2] << 16) | (static_cast<std::uint32_t>(header[3]) << 24);
  if (size > MAX_MESSAGE_BYTES) {
    errno = EMSGSIZE;
    return false;
  }
  payload.assign(size, 0);
  return ReceiveAll(fd, payload.data(), size);
}

}  // namespace standin
