#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/link_timing.hpp"

namespace brisko::sim {

// One fault on the chip's replies. A reply is identified by the command that
// asked for it (the first byte of the frame or sequence: 0Ch, 0Bh, 60h, 05h
// for the status byte, 'B' for "BSL"/"RDY", 80h for "OK"), the occurrence of
// that command since the last reset (1 = the first; 0 = every occurrence) and
// the index of the byte within that reply.
struct ReplyFault {
  enum class Kind { Drop, Corrupt, Delay };
  Kind kind = Kind::Drop;
  std::uint8_t command = 0;
  int occurrence = 1;
  int byteIndex = 0;
  std::uint8_t xorMask = 0x01;  // Corrupt: the byte is XORed with this
  Millis delay{0};              // Delay: extra time before the byte leaves
};

struct FaultPlan {
  std::vector<ReplyFault> replyFaults;
  // The n-th erase frame (0Bh or 04h, 1-based, since reset) is answered with
  // 00h instead of C0h and erases nothing.
  int refuseEraseOccurrence = 0;
  // "OK" comes only once this long has passed since the first pattern byte
  // after a reset.
  Millis okDelay{0};
  // Never answer the baud-detect pattern.
  bool noOk = false;
  // After this many bytes from the host (counted from reset), answer nothing
  // more until the next reset. Negative: never.
  long stopAfterHostBytes = -1;

  // Parses one fault description of the command line and adds it:
  //   drop:CMD:OCC:IDX             drop byte IDX of the reply
  //   corrupt:CMD:OCC:IDX[:MASK]   XOR it with MASK (hex, default 01)
  //   delay:CMD:OCC:IDX:MS         hold it back MS milliseconds
  //   refuse-erase:N   ok-delay:MS   no-ok   stop-after:N
  // CMD and MASK are hexadecimal bytes (42 is 'B' for "BSL"/"RDY", 80 the
  // "OK", 05 the status byte); OCC, IDX, N and MS are decimal, OCC 0 meaning
  // every occurrence. E.g. "drop:0C:3:5", "corrupt:0C:3:5:FF",
  // "delay:60:1:0:300". Returns an error text, or "" when it was taken.
  std::string Apply(const std::string& description);
};

}  // namespace brisko::sim
