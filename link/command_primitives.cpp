#include "link/command_primitives.hpp"

#include <initializer_list>

#include "link/result_codes.hpp"

namespace brisko {
namespace {

// The loader reads a command byte by byte; each goes as its own write, and the
// first that fails ends the sequence.
int SendEach(SerialPort& port, std::initializer_list<std::uint8_t> bytes) {
  for (std::uint8_t byte : bytes)
    if (port.WriteByte(byte) != kByteOk) return kByteFail;
  return kByteOk;
}

}  // namespace

// Addresses go high byte first: the loader builds its data pointer that way.
Frame MakeFrame(std::uint8_t command, std::uint16_t address, std::uint8_t parameter) {
  return Frame{{command, static_cast<std::uint8_t>(address >> 8),
                static_cast<std::uint8_t>(address & 0xFF), parameter}};
}

int SendFrame(SerialPort& port, std::uint8_t command, std::uint16_t address,
              std::uint8_t parameter) {
  Frame frame = MakeFrame(command, address, parameter);
  return SendEach(port, {frame.bytes[0], frame.bytes[1], frame.bytes[2], frame.bytes[3]});
}

int SendPair04(SerialPort& port, std::uint8_t x) {
  return SendEach(port, {cmd::kExternalEraseOrLock, x});
}

int SendTriple04FF(SerialPort& port, std::uint8_t x) {
  return SendEach(port, {cmd::kExternalEraseOrLock, x, 0xFF});
}

int SendPair02(SerialPort& port, std::uint8_t x) { return SendEach(port, {cmd::kRemap, x}); }

int SendRunUserCode(SerialPort& port) {
  return SendEach(port, {cmd::kRunUserCode, cmd::kRunUserCode});
}

// The worker sends the command byte when the loader prompts for a command and
// the rest when it prompts for parameters, hence the two queues.
int QueueFrame(LegacyQueues& queues, MessageSink& owner, std::uint8_t command,
               std::uint16_t address, std::uint8_t parameter) {
  Frame frame = MakeFrame(command, address, parameter);
  if (QueuePut(queues.commandQueue, queues.commandMutex, frame.bytes[0], owner) != kQueueOk)
    return kByteFail;
  for (int i = 1; i < 4; ++i)
    if (QueuePut(queues.parameterQueue, queues.parameterMutex, frame.bytes[i], owner) !=
        kQueueOk)
      return kByteFail;
  return kByteOk;
}

}  // namespace brisko
