#include "shell/block0/displaced_section.hpp"

#include "shell/session/session.hpp"

namespace brisko {

DisplacedSection::DisplacedSection(Session& session, const std::string& notice, Kind kind) : session_(session) {
  entered_ = kind == Kind::Restore || !session.State().cancelRequested.load();
  if (!entered_) return;
  previousNotice_ = session.Notice().Current();
  session.Notice().Set(notice);
}

DisplacedSection::~DisplacedSection() {
  if (entered_) session_.Notice().Set(previousNotice_);
}

FlashEngine DisplacedSection::Engine() const { return session_.Engine().Uncancellable(); }

bool DisplacedSection::CancelPending() const { return session_.State().cancelRequested.load(); }

std::string DisplacedText(const std::string& what, const std::string& recoveryPath) {
  std::string text = "Stopped at once while " + what + ".";
  if (!recoveryPath.empty())
    text += "\nThe displaced bytes are in the file\n" + recoveryPath +
            "\nThe next detection of this chip offers to put them back.";
  return text;
}

}  // namespace brisko
