#pragma once

namespace brisko {

// What a chip or file operation came to. The values are the codes the
// operator sees printed ("failed at step \"erase\" (code -1)"), so they never
// change. Each value has one meaning in the result of one operation; which
// step of a file-level transfer failed follows from the value alone
// (TransferStepName). A cancel is its own value and passes through every
// layer unchanged: no caller turns it into a failure.
enum class [[nodiscard]] Result : int {
  Ok = 10,
  Failed = -1,         // the operation's own step failed (erase, program, compare, a file)
  OverSize = 3,        // the image does not fit where it was meant to go
  ProgramFailed = 4,   // programming or comparing failed
  NoReply = 6,         // no reply byte, or a read-back came short
  NoMemory = 7,
  CommFailure = 9,     // a frame not sent or a byte missing during a check
  FrameNotSent = 12,
  Cancelled = 13,
  PortNotOpened = 14,
  WrongReply = 15,
};

// The printed code.
constexpr int Code(Result result) { return static_cast<int>(result); }

// Close() of the port: done, or the port was not open.
enum class CloseResult : int { Closed = 10, NotOpen = 1 };

// The loader's acknowledgement byte.
inline constexpr unsigned char kAck = 0xC0;

}  // namespace brisko
