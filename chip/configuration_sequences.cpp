#include "chip/configuration_sequences.hpp"

#include <thread>

#include "chip/chip_catalogue.hpp"
#include "link/command_primitives.hpp"
#include "link/result_codes.hpp"

namespace brisko {
namespace {

// Bits added by each lock option, option 1 first.
constexpr std::uint8_t kKT400OptionBits[] = {kSB1, kSB1 | kSB2, kSB1 | kSB3, kSB2, kSB3};
constexpr std::uint8_t kKT500OptionBits[] = {kSB1, kSB2 | kSB3, kSB1 | kSB3, kSB2, kSB3, kSB1 | kSB2};

// Pair form: the bit's index. Triple form: a selector and the key FFh.
std::vector<std::uint8_t> BitCommand(LockSequence sequence, std::uint8_t bit) {
  if (sequence == LockSequence::KT500Internal) {
    const std::uint8_t selector = bit == kSB1 ? 0x0F : bit == kSB2 ? 0x03 : 0x05;
    return {cmd::kExternalEraseOrLock, selector, 0xFF};
  }
  const std::uint8_t index = bit == kSB1 ? 0x00 : bit == kSB2 ? 0x01 : 0x02;
  return {cmd::kExternalEraseOrLock, index};
}

// Not checked: the next detection shows whether the sequence took.
void SendClose(SerialPort& port) {
  static constexpr std::uint8_t kClose[] = {cmd::kCloseSequence, cmd::kCloseSequence};
  port.WriteBytes(kClose, sizeof kClose);
}

}  // namespace

LockSequence LockSequenceFor(int model, int memoryMode) {
  if (IsKT400(model)) return LockSequence::KT400;
  return memoryMode == kInternalMemory ? LockSequence::KT500Internal : LockSequence::KT500External;
}

int LockOptionCount(LockSequence sequence) { return sequence == LockSequence::KT400 ? 5 : 6; }

std::uint8_t LockOptionBits(LockSequence sequence, int lockOption) {
  if (lockOption < 1 || lockOption > LockOptionCount(sequence)) return 0;
  return sequence == LockSequence::KT400 ? kKT400OptionBits[lockOption - 1] : kKT500OptionBits[lockOption - 1];
}

bool IsLevel4(LockSequence sequence, std::uint8_t securityBits) {
  const std::uint8_t bits = securityBits & 0xE0;
  if (bits == 0xE0) return true;
  return sequence == LockSequence::KT400 && bits == 0x60;
}

std::string Level4RefusalText(LockSequence sequence, int lockOption) {
  const bool internal = sequence == LockSequence::KT500Internal;
  if (lockOption == 5) return internal ? "Can't set level4 lock" : "Can not set level4 lock";
  if (lockOption == 6) return "Can't set level4 lock!";
  return internal ? "Can't set level4 lock!" : "Can not set level4 lock!";
}

std::vector<std::vector<std::uint8_t>> LockProgramCommands(LockSequence sequence, std::uint8_t bits) {
  std::vector<std::vector<std::uint8_t>> commands;
  for (std::uint8_t bit : {kSB1, kSB2, kSB3})
    if (bits & bit) commands.push_back(BitCommand(sequence, bit));
  return commands;
}

// The loader takes a sequence's bytes back to back: one write.
bool WriteEach(SerialPort& port, const std::vector<std::uint8_t>& bytes) {
  return port.WriteBytes(bytes.data(), bytes.size());
}

Result ProgramLockBits(SerialPort& port, MessageSink& owner, const LinkTiming& timing, LockSequence sequence,
                       int lockOption, std::uint8_t securityBits) {
  const std::uint8_t optionBits = LockOptionBits(sequence, lockOption);
  bool ok = false;
  if (optionBits != 0 && IsLevel4(sequence, securityBits | optionBits)) {
    owner.Tell(Level4RefusalText(sequence, lockOption));
    ok = true;
  } else if (optionBits != 0) {
    for (const auto& command : LockProgramCommands(sequence, optionBits)) {
      ok = WriteEach(port, command);
      if (!ok) break;
      // The chip programs the bit after the last byte; nothing may follow sooner.
      std::this_thread::sleep_for(timing.lockPause);
    }
  }
  SendClose(port);
  return ok ? Result::Ok : Result::Failed;
}

Result RemapBlocksKT400(SerialPort& port, const LinkTiming& timing, int remapOption) {
  std::vector<std::uint8_t> pairs;
  if (remapOption == 1 || remapOption == 3) pairs.push_back(0x00);
  if (remapOption == 2 || remapOption == 3) pairs.push_back(0x01);
  bool ok = false;
  for (std::uint8_t rb : pairs) {
    ok = SendPair02(port, rb);
    if (!ok) break;
    std::this_thread::sleep_for(timing.lockPause);
  }
  SendClose(port);
  return ok ? Result::Ok : Result::Failed;
}

std::vector<std::uint8_t> Sc0Bytes(int memoryMode) {
  if (memoryMode == kInternalMemory) return {0x04, 0x09, 0x5A};
  if (memoryMode == kExternalMemory) return {0x67, 0x67};
  return {};
}

std::vector<std::uint8_t> Sc1Bytes(int memoryMode) {
  if (memoryMode == kInternalMemory) return {0x04, 0x09, 0xAA};
  if (memoryMode == kExternalMemory) return {0x6C, 0x6C};
  return {};
}

std::vector<std::uint8_t> DoubleClockBytes(int memoryMode) {
  if (memoryMode == kInternalMemory) return {0x04, 0x08, 0x55};
  if (memoryMode == kExternalMemory) return {0x6A, 0x6A};
  return {};
}

}  // namespace brisko
