#include "cli/outcome_lines.hpp"

#include <cstdio>

#include "cli/command_line.hpp"

namespace brisko::cli {
namespace {

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", seconds);
  return text;
}

std::string Hex(std::uint32_t address) {
  char text[16];
  std::snprintf(text, sizeof text, address > 0xFFFF ? "%05Xh" : "%04Xh", address);
  return text;
}

// "downloaded 1024 bytes to block 0 at 0100h, verified"
std::string WhatWasDone(const CommandOutcome& o) {
  std::string text = o.action.empty() ? "done" : o.action;
  if (o.bytes == 0) return text;
  text += " " + std::to_string(o.bytes) + " bytes";
  if (o.block >= 0) text += ", block " + std::to_string(o.block);
  text += " at " + Hex(o.address);
  text += o.verified ? ", verified" : ", not verified";
  if (o.skippedSectors >= 0) text += ", " + std::to_string(o.skippedSectors) + " unchanged sectors skipped";
  return text;
}

// How a command that did not succeed ended, without the command's name.
std::string HowItEnded(const CommandOutcome& o) {
  switch (o.kind) {
    case OutcomeKind::Succeeded: return "succeeded";
    case OutcomeKind::Declined: return "declined";
    case OutcomeKind::Refused: {
      const std::string why = RefusalText(o.refusal);
      return why.empty() ? "refused" : "refused: " + why;
    }
    case OutcomeKind::Failed:
      return "failed at step \"" + (o.step.empty() ? std::string("?") : o.step) + "\" (code " +
             std::to_string(o.code) + ")";
    case OutcomeKind::Cancelled: {
      std::string text = o.step.empty() ? "cancelled" : "cancelled during step \"" + o.step + "\"";
      return o.completed.empty() ? text : text + " (completed: " + o.completed + ")";
    }
  }
  return OutcomeKindName(o.kind);
}

}  // namespace

int ExitStatus(const CommandOutcome& outcome) {
  if (outcome.Ok()) return kExitOk;
  return outcome.kind == OutcomeKind::Cancelled ? kExitCancelled : kExitFailed;
}

std::string SummaryLine(const std::string& command, const CommandOutcome& outcome, double seconds) {
  if (outcome.Ok()) return command + ": " + WhatWasDone(outcome) + ", in " + Seconds(seconds);
  return command + ": " + HowItEnded(outcome) + ", after " + Seconds(seconds);
}

std::string FailureLine(const std::string& command, const CommandOutcome& outcome, const std::string& status) {
  return "brisko-cli: " + command + " " + HowItEnded(outcome) + (status.empty() ? "" : ": " + status);
}

}  // namespace brisko::cli
