#include "link/command_primitives.hpp"

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "link/result_codes.hpp"

namespace brisko {
namespace {

// The loader's receiver takes a command's bytes back to back, so a frame or
// a short sequence goes as one write: the line then carries it without the
// gaps that a drain per byte leaves (a USB frame each on an adapter).
bool SendEach(SerialPort& port, std::initializer_list<std::uint8_t> bytes) {
  return port.WriteBytes(std::data(bytes), bytes.size());
}

}  // namespace

// Addresses go high byte first: the loader builds its data pointer that way.
Frame MakeFrame(std::uint8_t command, std::uint16_t address, std::uint8_t parameter) {
  return Frame{{command, static_cast<std::uint8_t>(address >> 8),
                static_cast<std::uint8_t>(address & 0xFF), parameter}};
}

bool SendFrame(SerialPort& port, std::uint8_t command, std::uint16_t address,
              std::uint8_t parameter) {
  Frame frame = MakeFrame(command, address, parameter);
  return SendEach(port, {frame.bytes[0], frame.bytes[1], frame.bytes[2], frame.bytes[3]});
}

bool SendFrameWithData(SerialPort& port, std::uint8_t command, std::uint16_t address,
                      std::span<const std::uint8_t> data) {
  const Frame frame = MakeFrame(command, address, static_cast<std::uint8_t>(data.size() & 0xFF));
  // Sized once and filled: growing a range-built vector draws false
  // out-of-bounds warnings from GCC 12 at -O3.
  std::vector<std::uint8_t> bytes(sizeof frame.bytes + data.size());
  std::copy(std::begin(frame.bytes), std::end(frame.bytes), bytes.begin());
  std::copy(data.begin(), data.end(), bytes.begin() + sizeof frame.bytes);
  return port.WriteBytes(bytes.data(), bytes.size());
}

bool SendPair04(SerialPort& port, std::uint8_t x) {
  return SendEach(port, {cmd::kExternalEraseOrLock, x});
}

bool SendTriple04FF(SerialPort& port, std::uint8_t x) {
  return SendEach(port, {cmd::kExternalEraseOrLock, x, 0xFF});
}

bool SendPair02(SerialPort& port, std::uint8_t x) { return SendEach(port, {cmd::kRemap, x}); }

bool SendRunUserCode(SerialPort& port) {
  return SendEach(port, {cmd::kRunUserCode, cmd::kRunUserCode});
}

// The worker sends the command byte when the loader prompts for a command and
// the rest when it prompts for parameters, hence the two queues.
bool QueueFrame(LegacyQueues& queues, MessageSink& owner, std::uint8_t command,
               std::uint16_t address, std::uint8_t parameter) {
  Frame frame = MakeFrame(command, address, parameter);
  if (QueuePut(queues.commandQueue, queues.commandMutex, frame.bytes[0], owner) != QueueResult::Ok)
    return false;
  for (int i = 1; i < 4; ++i)
    if (QueuePut(queues.parameterQueue, queues.parameterMutex, frame.bytes[i], owner) !=
        QueueResult::Ok)
      return false;
  return true;
}

}  // namespace brisko
