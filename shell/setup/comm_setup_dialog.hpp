#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace brisko {

class Session;

// "RS232 Configuration and  Detect Target MCU": port and rate lists, the
// crystal and the calculator. A new dialog object each time it is shown.
class CommSetupDialog {
 public:
  static constexpr const char* kTitle = "RS232 Configuration and  Detect Target MCU";

  // Fills the lists and takes the session's port and crystal.
  explicit CommSetupDialog(Session& session);

  const std::vector<std::string>& PortEntries() const { return portEntries_; }
  const std::vector<std::string>& RateEntries() const { return rateEntries_; }
  int selectedPort = 0;  // 0-based entry of "Comm Port"
  int selectedRate = 0;  // 0-based entry of "Baud Rate"
  // The device the chosen port opens when the operator named one (a pty,
  // /dev/serial/by-id/...); "" for the port map's device or /dev/ttyS<n-1>.
  // Confirming applies it to the session's port.
  std::string device;

  // The edit fields as the operator typed them. Compute and Next Baud read
  // them; a value out of range is refused with the range message.
  double crystalMHz = 11.0592;
  unsigned recommendedBaud = 38400;
  std::uint32_t reloadValue = 0xFFF7;

  // Validates the edit fields; returns "" or the range message to show.
  std::string CheckFields() const;
  // The edit field the range message is about.
  enum class Field { None, Crystal, RecommendedBaud };
  Field BadField() const;
  void Compute();
  void NextBaud();

  enum class Outcome { Confirmed, Cancelled, KeepOpen };
  // "&Detect MCU": stores port, rate and crystal in the session and the
  // settings; KeepOpen when the chosen rate is above the recommendation or a
  // field is out of range. It tells nobody: the messages it has for the
  // operator wait in TakeMessages, for whoever shows the dialog (it may run
  // on a UI thread, where the operator must not be called).
  Outcome Confirm();
  std::vector<std::string> TakeMessages() { return std::move(messages_); }

  // The session's port map ("COMn=/dev/..."), where a front end records the
  // device the operator chose for an entry; "" when the session keeps none.
  std::string PortMapFile() const;

 private:
  void ReadFields();
  void ShowRecommendation(unsigned bitRate, std::uint32_t reload);

  Session& session_;
  double confirmedCrystal_;  // the crystal of the last Compute / Next Baud, or of the fill
  std::vector<std::string> portEntries_;
  std::vector<std::string> rateEntries_;
  std::vector<std::string> messages_;
};

}  // namespace brisko
