#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "link/result_codes.hpp"

namespace brisko {

class Session;
class FlashEngine;

// The loader cannot rewrite the block it runs from. To program or erase
// block 1 in internal memory mode a small programmer is parked in block 0 at
// 2000h and started at 2027h; it serves the block-1 commands until the host
// re-enters the loader. The block-0 bytes it displaces (0000h-007Fh, whose
// sector is erased as well, and 2000h-217Fh) are read until two reads agree
// and kept in the session state and in a recovery file meanwhile, and are put
// back afterwards.

struct Block1Parking {
  Block1Parking(std::string selectFailed, std::string reselectFailed, std::optional<std::uint16_t> reentry,
                bool select)
      : selectFailedText(std::move(selectFailed)),
        reselectFailedText(std::move(reselectFailed)),
        reentryAddress(reentry),
        selectBlock0(select) {}

  // Told when block 0 cannot be selected before the programmer is parked.
  std::string selectFailedText;
  // Told when block 0 cannot be selected again once the loader is back.
  std::string reselectFailedText;
  // Where the loader is re-entered (value 01h); none: nothing is sent.
  std::optional<std::uint16_t> reentryAddress;
  // Models whose loader shows one block at a time select block 0 before the
  // parking and again before the put-back.
  bool selectBlock0 = true;
  // The loader update: `work` writes a new loader, which takes over at the
  // next reset; the programmer stays in block 0 and the displaced bytes wait
  // in the recovery file for the next detection. A programmer that does not
  // answer its start is then told with this text, and block 0 is put back
  // through the loader still running.
  bool staysParked = false;
  std::string startFailedText;
};

struct ParkedRun {
  bool parked = false;           // the programmer was written (and `work` ran unless it did not start)
  bool startFailed = false;      // the programmer did not answer its start; `work` did not run
  bool cancelledBefore = false;  // a cancel came before anything was erased
  Result workResult = Result::Failed;  // what `work` returned
  bool block0Restored = false;   // both areas are back and checked
  std::string recoveryPath;      // the displaced bytes' file (removed once they are back)
};

// Parks the model's programmer, runs `work` (with linkBusy set) while it owns
// the link, re-enters the loader and puts block 0 back, all inside one
// displaced section: a cancel stops only `work` (at a safe point of its own).
// Stops before anything is erased when block 0 cannot be selected or read
// alike twice, the recovery file cannot be written, an earlier interruption's
// bytes are not back yet, or a cancel came first. A put-back that fails is
// told to the operator with the recovery file's path; one that succeeds
// removes the file.
ParkedRun RunWithBlock1ProgrammerParked(Session& session, FlashEngine& engine, const Block1Parking& how,
                                        const std::function<Result()>& work);

// Operator texts of the safeguards around the parking.
std::string Block0BackupFailedText();
std::string RecoveryFileFailedText(const std::string& whyNot);
std::string Block0NotRestoredText(const std::string& recoveryPath);

}  // namespace brisko
