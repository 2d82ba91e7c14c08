// The wire between the hidapi stand-in library (inside the program under test) and the test
// driver that serves the simulated bus, over the Unix socket named by HIDAPI_STANDIN_SOCKET.
//
// Every message is a 32-bit little-endian payload length, then the payload, encoded as every rig
// encodes what it hands on (sim/rig_wire.h). Each request gets
// exactly one reply. Enumeration uses a connection of its own; hid_open_path opens a connection
// that then carries that device's requests until hid_close. The driver ends a device's
// connections when it is unplugged.
//
//   request                        reply
//   Enumerate                      the Listings (MessageWriter::Entries)
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
#include <vector>

#include "sim/rig_wire.h"

namespace standin {

inline constexpr char SOCKET_VARIABLE[] = "HIDAPI_STANDIN_SOCKET";
inline constexpr std::uint32_t MAX_MESSAGE_BYTES = 1u << 20;

enum class Op : std::uint8_t { Enumerate = 1, Open = 2, Write = 3, Read = 4, Descriptor = 5 };
enum class ReadStatus : std::uint8_t { Data = 0, Failed = 1, Silent = 2 };

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
