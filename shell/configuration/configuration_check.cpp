#include "shell/configuration/configuration_check.hpp"

#include "chip/chip_catalogue.hpp"
#include "chip/status_decoding.hpp"
#include "shell/detection/detect_command.hpp"
#include "shell/session/session.hpp"

namespace brisko {
namespace {

std::uint8_t FieldOf(StatusAspect aspect, std::uint8_t status) {
  switch (aspect) {
    case StatusAspect::Security: return SecurityBitsOf(status);
    case StatusAspect::Remap: return status & 0x03;
    case StatusAspect::DoubleClock: return status & 0x08;
  }
  return 0;
}

// The chip's state in the words the window shows it.
std::string Shown(StatusAspect aspect, std::uint8_t status, int model) {
  switch (aspect) {
    case StatusAspect::Security: {
      const auto text = SecurityStatusText(SecurityBitsOf(status), model);
      return text ? text->text : "SECURITY : UNKNOWN";
    }
    case StatusAspect::Remap: return "ReMap: " + RemapText(model, status);
    case StatusAspect::DoubleClock: return DoubleClockBitOf(status) ? "Double Clock ON" : "Double Clock OFF";
  }
  return "";
}

}  // namespace

CommandOutcome RedetectAndConfirm(Session& session, const CommandOutcome& sent, const AskedStatus& asked) {
  const CommandOutcome detected = DetectTarget(session);
  if (!sent.Ok()) return sent;
  if (!detected.Ok()) return detected;
  const std::uint8_t status = session.State().statusByte;
  if ((FieldOf(asked.aspect, status) & asked.bits) == asked.bits) return sent;
  session.Op().Tell(asked.failedText + "\nAfter the re-detection the chip shows " +
              Shown(asked.aspect, status, session.Record()->GetChipModel()) + ".");
  return CommandOutcome::Failed(asked.step, Result::Failed);
}

}  // namespace brisko
