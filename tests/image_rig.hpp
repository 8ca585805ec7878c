#pragma once
// The file routines on a real SessionRecord and FlashEngine, over the
// in-process simulated chip or over a scripted external flash bank.
#include <memory>
#include <string>

#include "image/file_routines.hpp"
#include "link/result_codes.hpp"
#include "support/result_print.hpp"
#include "sim/sim_device.hpp"
#include "bank_device.hpp"
#include "support/fast_timing.hpp"
#include "support/recording_sink.hpp"
#include "sim_bench.hpp"
#include "chip/progress_sink.hpp"

namespace brisko::test {

// The routines as a command runs them: the named file is opened (read,
// converted, checked for data) first; its refusal is the result.
template <class Routine, class... Args>
Result WithFile(Routine routine, FileRoutineContext& ctx, const std::string& name, Args&&... args) {
  ImageFile file;
  if (const Result opened = file.Open(name, ctx.messages); opened != Result::Ok) return opened;
  return routine(ctx, file, std::forward<Args>(args)...);
}
// What the file routines work with.
class RoutineParts {
 public:
  explicit RoutineParts(DeviceOpener opener)
      : record(messages, std::move(opener), FastTiming()), engine(record.Port(), state, progress, messages) {}

  RecordingSink messages;
  SessionRecord record;
  SessionState state;
  NullProgress progress;
  FlashEngine engine;
  FileRoutineContext ctx{record, state, engine, messages};
};

// A simulated chip of `model` in `memoryMode`, taken through the loader
// handshake by Connect(), with fresh images.
class SimImageRig : public SimChip, public RoutineParts {
 public:
  SimImageRig(int model, int memoryMode = kInternalMemory)
      : SimChip(ChipConfig(model, memoryMode)), RoutineParts(sim::SimOpener(target)) {}

  bool Connect() {
    record.SetChipModel(static_cast<ChipModel>(target->Config().model));
    record.SetMemoryMode(static_cast<MemoryMode>(target->Config().memoryMode));
    record.applyGeometry();
    // The port's rising RTS resets the chip; the handshake is the bench's.
    if (record.Port().Open() != Result::Ok || SimBench(target).Detect() < 0) return false;
    record.AllocateImages();
    ClearWire();
    return true;
  }
};

// A detected chip with an external flash bank selected.
class BankImageRig : public TestFiles, public RoutineParts {
 public:
  explicit BankImageRig(ChipModel model = kKT540, bool highBank = false)
      : RoutineParts([this](const std::string&, std::string&) { return std::make_unique<BankDevice>(bank); }) {
    record.SetChipModel(model);
    record.applyGeometry();
    static_cast<void>(record.Port().Open());
    record.AllocateImages();
    (highBank ? state.externalHighBankSelected : state.externalLowBankSelected) = true;
  }

  std::shared_ptr<BankDevice::Bank> bank = std::make_shared<BankDevice::Bank>();
};

}  // namespace brisko::test
