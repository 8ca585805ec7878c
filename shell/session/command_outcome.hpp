#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "link/result_codes.hpp"

namespace brisko {

// How a command ended. Front ends decide exit status, colours and summaries
// from this alone, never from the text of a message the command told.
enum class OutcomeKind {
  Succeeded,
  Declined,   // the operator answered No or closed a dialog with Cancel
  Refused,    // an entry check or a rule stopped it before the chip was touched
  Failed,     // a step failed; `step` and `code` say which and how
  Cancelled,  // a cancel request stopped it at a safe point
};

// Which check refused a command.
enum class Refusal {
  None,
  NoChip,           // no session record, or the user's program was started
  NoTarget,         // no detection has succeeded (link down)
  IllegalBlock,     // the current block is neither 0 nor 1
  LoaderArea,       // the range would erase or overwrite the loader
  SecurityLock,     // the chip's lock level forbids it
  BadInput,         // a file, an address or a value the command cannot use
  NotSupported,     // the model or memory mode has no such operation
  AlreadyDone,      // the chip is that way already
};

struct CommandOutcome {
  OutcomeKind kind = OutcomeKind::Succeeded;
  Refusal refusal = Refusal::None;
  // The failed (or cancelled) step in a few words ("erase", "program and
  // verify", "select block 1", "restore block 0") and its printed result code.
  std::string step;
  int code = 0;
  // A cancelled command that had to finish what it displaced first: what it
  // completed ("block 0 put back").
  std::string completed;

  // What was done, for a one-line summary: "downloaded", "read", "erased"...
  std::string action;
  std::size_t bytes = 0;
  std::uint32_t address = 0;
  int block = -1;         // 0 or 1; -1 for neither (external bank, whole chip)
  bool verified = false;  // every written byte was read back and matched
  long skippedSectors = -1;  // sectors a download found unchanged and left; -1: all were written

  bool Ok() const { return kind == OutcomeKind::Succeeded; }

  static CommandOutcome Success(std::string action = {}) {
    CommandOutcome o;
    o.action = std::move(action);
    return o;
  }
  static CommandOutcome Declined() {
    CommandOutcome o;
    o.kind = OutcomeKind::Declined;
    return o;
  }
  static CommandOutcome Refused(Refusal why) {
    CommandOutcome o;
    o.kind = OutcomeKind::Refused;
    o.refusal = why;
    return o;
  }
  static CommandOutcome Failed(std::string step, Result code) {
    CommandOutcome o;
    o.kind = OutcomeKind::Failed;
    o.step = std::move(step);
    o.code = Code(code);
    return o;
  }
  static CommandOutcome Cancelled(std::string step = {}, std::string completed = {}) {
    CommandOutcome o;
    o.kind = OutcomeKind::Cancelled;
    o.step = std::move(step);
    o.completed = std::move(completed);
    return o;
  }
  // How a step that did not end Ok ends the command: a cancel stays a
  // cancel, anything else is a failure at that step with its code.
  static CommandOutcome Stopped(std::string step, Result result) {
    return result == Result::Cancelled ? Cancelled(std::move(step)) : Failed(std::move(step), result);
  }
};

const char* OutcomeKindName(OutcomeKind kind);
const char* RefusalText(Refusal why);

}  // namespace brisko
