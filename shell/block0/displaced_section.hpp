#pragma once
#include <string>

#include "chip/flash_engine.hpp"
#include "shell/session/command_outcome.hpp"

namespace brisko {

class Session;

// The stretch of a flow during which the user's bytes or the loader are not
// where they belong: from the first erase of them until they are back, or
// until the new loader is complete. Every flow that displaces either marks it
// with one of these, around exactly those steps.
//
// A cancel that came before the section keeps it from being entered, so the
// flow stops with nothing touched. A cancel inside it does not cut its steps
// (they run on Engine()); the flow ends the section and then ends as
// cancelled, saying what it completed. While the section lasts, the window's
// DisplacedNotice says what is displaced and where its recovery file is.
class DisplacedSection {
 public:
  enum class Kind {
    Displace,  // entered only when no cancel is pending
    Restore,   // puts displaced bytes back: entered whatever a cancel says
  };
  DisplacedSection(Session& session, const std::string& notice, Kind kind = Kind::Displace);
  ~DisplacedSection();
  DisplacedSection(const DisplacedSection&) = delete;
  DisplacedSection& operator=(const DisplacedSection&) = delete;

  // False: a cancel came first, and nothing may be touched.
  bool Entered() const { return entered_; }
  // An engine whose steps a cancel does not cut.
  FlashEngine Engine() const;
  // A cancel has been asked for (before or inside the section).
  bool CancelPending() const;

 private:
  Session& session_;
  bool entered_ = false;
  std::string previousNotice_;
};

// The notice of a section whose bytes wait in a recovery file.
std::string DisplacedText(const std::string& what, const std::string& recoveryPath);

}  // namespace brisko
