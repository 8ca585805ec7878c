#pragma once
#include <cstdint>
#include <span>

#include "link/message_sink.hpp"
#include "link/queue_ops.hpp"
#include "link/serial_port.hpp"

namespace brisko {

// Loader command codes sent by the host.
namespace cmd {
inline constexpr std::uint8_t kChipErase = 0x01;
inline constexpr std::uint8_t kRemap = 0x02;
inline constexpr std::uint8_t kStartOrExternalRead = 0x03;
inline constexpr std::uint8_t kExternalEraseOrLock = 0x04;
inline constexpr std::uint8_t kModeSelect = 0x05;
inline constexpr std::uint8_t kExternalProgram = 0x06;
inline constexpr std::uint8_t kProgramBlock1 = 0x09;
inline constexpr std::uint8_t kReadBlock1 = 0x0A;
inline constexpr std::uint8_t kErase = 0x0B;
inline constexpr std::uint8_t kRead = 0x0C;
inline constexpr std::uint8_t kProgram = 0x0E;
inline constexpr std::uint8_t kVersion = 0x60;
inline constexpr std::uint8_t kRunUserCode = 0x62;
inline constexpr std::uint8_t kKeepAlive = 0x63;
inline constexpr std::uint8_t kSelectBlock0 = 0x68;
inline constexpr std::uint8_t kSelectBlock1 = 0x69;
inline constexpr std::uint8_t kCloseSequence = 0x6B;
}  // namespace cmd

// The four bytes of a command frame, in wire order.
struct Frame {
  std::uint8_t bytes[4];
};
Frame MakeFrame(std::uint8_t command, std::uint16_t address, std::uint8_t parameter);

// Each frame or sequence is one write of its bytes: true when it went out,
// false when not (the port has told why).
[[nodiscard]] bool SendFrame(SerialPort& port, std::uint8_t command, std::uint16_t address, std::uint8_t parameter);
// A program frame (its parameter the data's length modulo 256) and its data
// bytes, in one write: the loader takes them as they come.
[[nodiscard]] bool SendFrameWithData(SerialPort& port, std::uint8_t command, std::uint16_t address,
                      std::span<const std::uint8_t> data);
[[nodiscard]] bool SendPair04(SerialPort& port, std::uint8_t x);
[[nodiscard]] bool SendTriple04FF(SerialPort& port, std::uint8_t x);
[[nodiscard]] bool SendPair02(SerialPort& port, std::uint8_t x);
[[nodiscard]] bool SendRunUserCode(SerialPort& port);

// The frame through the worker's queues: command byte into commandQueue, the
// other three into parameterQueue. True only if all four went in.
[[nodiscard]] bool QueueFrame(LegacyQueues& queues, MessageSink& owner, std::uint8_t command,
               std::uint16_t address, std::uint8_t parameter);

}  // namespace brisko
