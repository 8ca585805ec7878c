#pragma once
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "link/link_timing.hpp"
#include "link/message_sink.hpp"
#include "link/result_codes.hpp"
#include "link/serial_port.hpp"

namespace brisko {

// The single-byte sequences that change the chip's non-volatile
// configuration: security bits, remap bits. The loader answers none of them;
// a sequence succeeds when every byte went out.

// Security bits as the status byte carries them.
inline constexpr std::uint8_t kSB1 = 0x80;
inline constexpr std::uint8_t kSB2 = 0x40;
inline constexpr std::uint8_t kSB3 = 0x20;

// Which program commands a lock uses: the KT400 family's pair form, the
// KT500 family's pair form (external memory mode) or its keyed triple form
// (internal memory mode).
enum class LockSequence { KT400, KT500External, KT500Internal };

LockSequence LockSequenceFor(int model, int memoryMode);

// The bits a lock option adds, 0 outside the menu (options are 1-based; five
// for the KT400 sequence, six for the KT500 ones).
std::uint8_t LockOptionBits(LockSequence sequence, int lockOption);
int LockOptionCount(LockSequence sequence);

// The combination the host never programs.
bool IsLevel4(LockSequence sequence, std::uint8_t securityBits);
// What the operator is told when an option would reach it.
std::string Level4RefusalText(LockSequence sequence, int lockOption);

// The program command of each bit of `bits`, SB1 first, as wire bytes.
std::vector<std::vector<std::uint8_t>> LockProgramCommands(LockSequence sequence, std::uint8_t bits);

// Programs the option's bits, pausing timing.lockPause after each command
// that went out, then sends 6Bh 6Bh. A level-4 result is refused with its
// message and counts as success. Ok or Failed.
Result ProgramLockBits(SerialPort& port, MessageSink& owner, const LinkTiming& timing, LockSequence sequence,
                       int lockOption, std::uint8_t securityBits);

// The KT400 family's remap: option 1 RB0 (02h 00h), 2 RB1 (02h 01h), 3 both,
// each pair followed by timing.lockPause; then 6Bh 6Bh. Ok or Failed.
Result RemapBlocksKT400(SerialPort& port, const LinkTiming& timing, int remapOption);

// One WriteByte each, stopping at the first failure; true when all went out.
bool WriteEach(SerialPort& port, const std::vector<std::uint8_t>& bytes);

// The configuration bytes of the KT500 family by memory mode.
std::vector<std::uint8_t> Sc0Bytes(int memoryMode);          // 67h 67h / 04h 09h 5Ah
std::vector<std::uint8_t> Sc1Bytes(int memoryMode);          // 6Ch 6Ch / 04h 09h AAh
std::vector<std::uint8_t> DoubleClockBytes(int memoryMode);  // 6Ah 6Ah / 04h 08h 55h

}  // namespace brisko
