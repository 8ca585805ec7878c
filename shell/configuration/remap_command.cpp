#include "shell/configuration/remap_command.hpp"

#include <thread>

#include "chip/chip_catalogue.hpp"
#include "chip/configuration_sequences.hpp"
#include "link/result_codes.hpp"
#include "shell/configuration/configuration_check.hpp"
#include "shell/configuration/configuration_menus.hpp"
#include "shell/session/session.hpp"

namespace brisko {
namespace {

constexpr const char* kProceed = "Do you really want to proceed?";
constexpr const char* kRedetected = "\nChip will be automatically redetected!";
constexpr const char* kHidden = "\nChip can't be detected in internal memory mode!";

constexpr int kSc0 = 0;
constexpr int kSc1 = 4;

struct ConfigBitPlan {
  const char* name;  // "SC0" / "SC1"
  std::vector<std::uint8_t> bytes;
  bool hidesLoader;  // the loader no longer answers in internal memory mode
  std::uint8_t remapBit;  // where the next status byte shows it
};

// SC0 or SC1 on the KT500 family; none where the option programs neither.
std::optional<ConfigBitPlan> ConfigBitFor(int model, int memoryMode, int remapOption) {
  if (FamilyOf(model) != ChipFamily::KT500) return std::nullopt;
  const bool internal = memoryMode == kInternalMemory;
  if (remapOption == kSc0)
    return ConfigBitPlan{"SC0", Sc0Bytes(memoryMode), internal && SharesBlockAddresses(model), 0x01};
  // KT530 and KT560 take any other option as SC1, KT570 and KT580 only SC1's
  // own value: on these models SC1 is the only other radio.
  const bool sc1 = model == kKT530 || model == kKT560 || ((model == kKT570 || model == kKT580) && remapOption == kSc1);
  if (sc1) return ConfigBitPlan{"SC1", Sc1Bytes(memoryMode), internal, 0x02};
  return std::nullopt;
}

// The remap bits a KT400-family option programs: RB0, RB1 or both.
std::uint8_t KT400RemapBits(int remapOption) {
  switch (remapOption) {
    case 1: return 0x01;
    case 2: return 0x02;
    case 3: return 0x03;
    default: return 0x00;
  }
}

CommandOutcome ProgramConfigBit(Session& session, const ConfigBitPlan& plan) {
  if (plan.bytes.empty()) return CommandOutcome::Refused(Refusal::NotSupported);
  SerialPort& port = session.Record()->Port();
  const std::string name = plan.name;
  if (!WriteEach(port, plan.bytes)) {
    session.Op().Tell("Program " + name + " Failed!");
    return CommandOutcome::Failed("program " + name, Result::Failed);
  }
  session.State().linkBusy = true;
  std::this_thread::sleep_for(port.Timing().configPause);
  session.Op().Tell("Program " + name + " Completed!" + (plan.hidesLoader ? kHidden : kRedetected));
  session.ResetTarget();
  return CommandOutcome::Success("programmed " + name);
}

CommandOutcome RemapKT400(Session& session, int remapOption) {
  SessionRecord& record = *session.Record();
  if (record.GetMemoryMode() != kExternalMemory) return CommandOutcome::Refused(Refusal::NotSupported);
  SerialPort& port = record.Port();
  if (RemapBlocksKT400(port, port.Timing(), remapOption) != Result::Ok) {
    session.Op().Tell("Memory Remap Failed!");
    return CommandOutcome::Failed("remap", Result::Failed);
  }
  session.State().linkBusy = true;
  session.Op().Tell(std::string("Memory Remap Completed!") + kRedetected);
  session.ResetTarget();
  return CommandOutcome::Success("remapped");
}

}  // namespace

CommandOutcome OnMemoryRemap(Session& session) {
  if (auto refused = session.RefuseOnEntry(true, false)) return *refused;
  SessionRecord* record = session.Record();
  const int model = record->GetChipModel();
  RemapMenu menu = RemapMenuFor(model);
  if (!session.Op().ChooseRemap(menu)) return CommandOutcome::Declined();
  // A front end that cannot grey out radios may hand back a disabled one.
  if (menu.remapOption != kSc0 && !RemapChoiceAllowed(menu, menu.remapOption))
    return CommandOutcome::Refused(Refusal::BadInput);
  if (!session.Op().Ask(kProceed)) return CommandOutcome::Declined();

  const int mode = record->GetMemoryMode();
  const auto configBit = ConfigBitFor(model, mode, menu.remapOption);
  CommandOutcome outcome = CommandOutcome::Refused(Refusal::NotSupported);
  if (configBit)
    outcome = ProgramConfigBit(session, *configBit);
  else if (IsKT400(model))
    outcome = RemapKT400(session, menu.remapOption);
  session.State().linkBusy = false;
  // A chip that no longer answers in this memory mode cannot be asked.
  const bool hidden = configBit && configBit->hidesLoader && mode == kInternalMemory;
  if (hidden) return outcome;
  AskedStatus asked{StatusAspect::Remap, KT400RemapBits(menu.remapOption), "Memory Remap Failed!", "confirm the remap"};
  if (configBit) {
    asked.bits = configBit->remapBit;
    asked.failedText = std::string("Program ") + configBit->name + " Failed!";
    asked.step = std::string("confirm ") + configBit->name;
  }
  return RedetectAndConfirm(session, outcome, asked);
}

}  // namespace brisko
