#pragma once
#include <array>
#include <string>
#include <vector>

#include "chip/status_decoding.hpp"

namespace brisko {

inline constexpr const char* kAppTitle = "Orvex Brisko11F Boot-Strap Loader (Fw: v1.1F)";
inline constexpr const char* kInitialSecurityText = "SECURITY: UNKNOWN";
inline constexpr const char* kUnknownSecurityText = "SECURITY : UNKNOWN";
inline constexpr const char* kChipAlreadyDetectedText = "ChipType had been detected earlier.";

struct ChipInfoTexts {
  std::string chipType;
  std::string flashSize;
  std::string remap;
  std::string fwVersion;
  std::string memMode;
};

struct ProgressPane {
  int max = 1000;
  int position = 0;
  std::string label;
  bool barVisible = false;
  // Counts the ranges set: a new one starts a new phase of the work, even
  // when it has the same size as the one before.
  unsigned ranges = 0;
};

struct SectorRow {
  std::array<std::string, 5> cells;  // SECTOR, HEX - FROM, HEX - TO, DEC - FROM, STATUS
};
struct DumpRow {
  std::array<std::string, 3> cells;  // address range, bytes, ASCII
};

// Everything the window shows, as data. The shell changes it; front ends
// render it when told that an aspect changed.
struct WindowState {
  std::string caption = kAppTitle;
  ChipInfoTexts chipInfo;
  std::string statusText;
  std::string securityText = kInitialSecurityText;
  std::array<bool, kIapButtonCount> buttons{true, true, true, true, true, true, true};
  ProgressPane progress;
  std::string messagePane = "Ready";
  std::string doubleClockPane = "Double Clock OFF";
  std::string portPane = "COM1";
  std::string baudPane = "Baud Rate: 38400";
  std::string clockPane;
  int selectedTab = 0;
  std::vector<SectorRow> sectorTable;
  int hotSectorRow = 0;
  std::string dumpHeader = "SECTOR ???";
  std::vector<DumpRow> dump;
};

enum class WindowAspect { Caption, ChipInfo, Status, Security, Buttons, Progress, Panes, Tab, Views, Closed };

class WindowObserver {
 public:
  virtual ~WindowObserver() = default;
  // Called on the thread that made the change, after it was made.
  virtual void WindowChanged(WindowAspect aspect, const WindowState& state) = 0;
};

}  // namespace brisko
