#include "shell/session/command_outcome.hpp"

namespace brisko {

const char* OutcomeKindName(OutcomeKind kind) {
  switch (kind) {
    case OutcomeKind::Succeeded: return "succeeded";
    case OutcomeKind::Declined: return "declined";
    case OutcomeKind::Refused: return "refused";
    case OutcomeKind::Failed: return "failed";
    case OutcomeKind::Cancelled: return "cancelled";
  }
  return "?";
}

const char* RefusalText(Refusal why) {
  switch (why) {
    case Refusal::None: return "";
    case Refusal::NoChip: return "no chip selected or the user's program is running";
    case Refusal::NoTarget: return "no chip detected";
    case Refusal::IllegalBlock: return "illegal block number";
    case Refusal::LoaderArea: return "the range holds the loader";
    case Refusal::SecurityLock: return "the chip's lock forbids it";
    case Refusal::BadInput: return "the input cannot be used";
    case Refusal::NotSupported: return "not supported by this model or memory mode";
    case Refusal::AlreadyDone: return "the chip is that way already";
  }
  return "";
}

}  // namespace brisko
