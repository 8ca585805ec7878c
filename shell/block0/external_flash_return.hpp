#pragma once
#include "link/serial_port.hpp"

#include "link/result_codes.hpp"

namespace brisko {

class Session;

// Leaves an entered external flash bank after a detection in internal memory
// mode: tells the loader to return, puts the chip's information back and, on
// the KT400 family, restores the block-0 areas the bank helper displaced.
void ReturnToMcuFlashAfterDetect(Session& session);

// The restore of the KT400 family's block-0 areas (sector 0 and 2000h-217Fh)
// from the saved buffers, repeated while it fails. Results of the last run, in
// order; all Ok for the other families.
struct RestoreResults {
  Result sector0 = Result::Ok;
  Result erase2000 = Result::Ok;
  Result area2000 = Result::Ok;
  bool AllOk() const { return sector0 == Result::Ok && erase2000 == Result::Ok && area2000 == Result::Ok; }
};
RestoreResults RestoreBlock0Areas(Session& session, int attempts);

// Whether the loader answers a one-byte read of 0000h: a line that died is
// found out in one exchange.
bool LoaderAnswers(SerialPort& port);

}  // namespace brisko
