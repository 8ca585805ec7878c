#pragma once

namespace brisko {

// Result codes of the chip and file operations.
inline constexpr int kResultOk = 10;
inline constexpr int kResultFail = -1;
inline constexpr int kResultOverSize = 3;
inline constexpr int kResultProgramFailed = 4;
inline constexpr int kResultNoReply = 6;
inline constexpr int kResultNoMemory = 7;
inline constexpr int kResultCommFailure = 9;
inline constexpr int kResultFrameNotSent = 12;
inline constexpr int kResultCancelled = 13;
inline constexpr int kResultPortNotOpened = 14;
inline constexpr int kResultWrongReply = 15;

// Close() on a port that was not open.
inline constexpr int kResultNotOpen = 1;

// Byte-level results.
inline constexpr int kByteOk = 1;
inline constexpr int kByteFail = 0;

// The loader's acknowledgement byte.
inline constexpr unsigned char kAck = 0xC0;

}  // namespace brisko
