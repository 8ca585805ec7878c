#pragma once
#include <QString>
#include <memory>

#include "shell/session/operator.hpp"

namespace brisko::sim {
class SimTarget;
}

namespace brisko::gui {

class BriskoWindow;

// Puts a small demonstration program into a simulated chip's block 0: code
// bytes, a text, a sector of zeros, the rest blank.
void LoadDemoFirmware(sim::SimTarget& chip);

// The operator of the window's demonstration: picks the simulated model,
// keeps the set-up, reads all sectors, and says nothing.
class DemoOperator final : public Operator {
 public:
  DemoOperator(ChipModel model, MemoryMode memoryMode) : model_(model), memoryMode_(memoryMode) {}
  void Tell(const std::string&) override {}
  bool Ask(const std::string&) override { return true; }
  bool SelectChip(ChipSelection& selection) override;
  bool CommSetup(CommSetupDialog&) override { return true; }
  bool ChooseFileAndSector(FileSectorDialog&) override { return false; }
  bool ChooseRange(RangeDialog& dialog) override;
  bool ChooseSave(SaveDialog&) override { return false; }
  bool PrintListing(const std::string&, std::string&) override { return true; }

 private:
  ChipModel model_;
  MemoryMode memoryMode_;
};

// Detects the chip and reads block 0 through the window's own commands, then
// calls `done` on the UI thread.
void RunDemoRead(BriskoWindow& window, std::function<void()> done);

// Saves the window as a picture; false when the file could not be written.
bool SaveWindowPicture(BriskoWindow& window, const QString& path);

}  // namespace brisko::gui
