#include "shell/block0/displaced_section.hpp"

#include "shell/session/main_window.hpp"

namespace brisko {

DisplacedSection::DisplacedSection(MainWindow& w, const std::string& notice, Kind kind) : w_(w) {
  entered_ = kind == Kind::Restore || !w.State().cancelRequested.load();
  if (!entered_) return;
  previousNotice_ = w.Notice().Current();
  w.Notice().Set(notice);
}

DisplacedSection::~DisplacedSection() {
  if (entered_) w_.Notice().Set(previousNotice_);
}

FlashEngine DisplacedSection::Engine() const { return w_.Engine().Uncancellable(); }

bool DisplacedSection::CancelPending() const { return w_.State().cancelRequested.load(); }

std::string DisplacedText(const std::string& what, const std::string& recoveryPath) {
  std::string text = "Stopped at once while " + what + ".";
  if (!recoveryPath.empty())
    text += "\nThe displaced bytes are in the file\n" + recoveryPath +
            "\nThe next detection of this chip offers to put them back.";
  return text;
}

}  // namespace brisko
