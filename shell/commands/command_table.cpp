#include "shell/commands/command_table.hpp"

#include <array>

#include "shell/configuration/double_clock_command.hpp"
#include "shell/configuration/lock_command.hpp"
#include "shell/configuration/remap_command.hpp"
#include "shell/detection/cable_test_command.hpp"
#include "shell/detection/detect_command.hpp"
#include "shell/flash/byte_edit_command.hpp"
#include "shell/flash/compare_command.hpp"
#include "shell/flash/download_command.hpp"
#include "shell/flash/erase_commands.hpp"
#include "shell/flash/external_bank_commands.hpp"
#include "shell/flash/print_command.hpp"
#include "shell/flash/read_command.hpp"
#include "shell/flash/run_user_code.hpp"
#include "shell/flash/save_command.hpp"
#include "shell/loader/debug_monitor.hpp"
#include "shell/loader/legacy_detection.hpp"
#include "shell/loader/loader_update.hpp"
#include "shell/loader/unknown_version_detect.hpp"
#include "shell/session/session.hpp"

namespace brisko {
namespace {

CommandOutcome ResetTarget(Session& session) {
  session.ResetTarget();
  return CommandOutcome::Success("reset");
}

constexpr ChipModelUse kNoModel = ChipModelUse::None;
constexpr ChipModelUse Selected = ChipModelUse::Selected;
constexpr ChipModelUse Reported = ChipModelUse::Reported;
constexpr WindowMenu kNoMenu = WindowMenu::None;
constexpr WindowMenu File = WindowMenu::File;
constexpr WindowMenu DetectChip = WindowMenu::DetectChip;
constexpr WindowMenu RunCode = WindowMenu::RunCode;
constexpr WindowMenu UpgradeBsl = WindowMenu::UpgradeBsl;
constexpr WindowMenu ByteModify = WindowMenu::ByteModify;
constexpr WindowMenu Probex = WindowMenu::Probex;
constexpr WindowMenu ExternalFlash = WindowMenu::ExternalFlash;
constexpr WindowPlace Menu = WindowPlace::Menu;
constexpr WindowPlace IapButton = WindowPlace::IapButton;
constexpr WindowPlace ToolButton = WindowPlace::ToolButton;
constexpr bool kDetectFirst = true, kOwnDetection = false;
constexpr bool kEntersBank = true, kRunInBank = false;
constexpr bool kStatus = true, kNoStatus = false;

// clang-format off
constexpr std::array kCommands = {
  //           name, handler, detection, model, bank, status, help; window: place, menu, slot, text
  CommandEntry{"detect", OnDetectMenu, kOwnDetection, Selected, kRunInBank, kStatus,
               "detect the chip and print its information",
               Menu, DetectChip, 0, "&Detect Target MCU for Firmware1.1F and RS232 Config."},
  CommandEntry{"detect-unknown-version", OnDetectUnknownVersion, kOwnDetection, Selected, kRunInBank, kStatus, "",
               Menu, DetectChip, 2, "Detect Target MCU for Firmware Version &Unknown (EA#=1)"},
  CommandEntry{"run", ExecuteUserCode, kDetectFirst, Selected, kRunInBank, kStatus,
               "start the user's program",
               Menu, RunCode, 0, "&Execute User Code (Fw: v1.1F)"},
  CommandEntry{"download", OnDownload, kDetectFirst, Selected, kRunInBank, kStatus,
               "download an Intel HEX or binary file into flash",
               IapButton, kNoMenu, 0, "Download"},
  CommandEntry{"download-run", OnDownloadAndRun, kDetectFirst, Selected, kEntersBank, kStatus,
               "download, then start the user's program",
               IapButton, kNoMenu, 1, "Dnload/Run UserCode"},
  CommandEntry{"read", OnRead, kDetectFirst, Selected, kRunInBank, kStatus,
               "read sectors; prints the sector table and the first sector",
               IapButton, kNoMenu, 2, "Read"},
  CommandEntry{"save", OnSave, kDetectFirst, Selected, kRunInBank, kStatus,
               "read sectors and save them to a file",
               Menu, File, 1, "&Save"},
  CommandEntry{"compare", OnCompare, kDetectFirst, Selected, kRunInBank, kStatus,
               "compare a file with flash",
               Menu, File, 0, "&Compare"},
  CommandEntry{"print", OnPrint, kDetectFirst, Selected, kRunInBank, kStatus, "",
               Menu, File, 2, "&Print"},
  CommandEntry{"erase", OnSectorErase, kDetectFirst, Selected, kRunInBank, kStatus,
               "erase sectors",
               IapButton, kNoMenu, 3, "Sector Erase"},
  CommandEntry{"chip-erase", OnChipErase, kDetectFirst, Selected, kRunInBank, kStatus,
               "erase the whole chip",
               IapButton, kNoMenu, 4, "Chip Erase"},
  CommandEntry{"lock", OnLockChip, kDetectFirst, Selected, kRunInBank, kStatus,
               "program the security bits: option N of the chip's lock menu",
               IapButton, kNoMenu, 5, "Lock Chip"},
  CommandEntry{"remap", OnMemoryRemap, kDetectFirst, Selected, kRunInBank, kStatus,
               "remap memory (KT410/420) or program SC0/SC1 (KT500 family)",
               IapButton, kNoMenu, 6, "Memory Remap"},
  CommandEntry{"reset", ResetTarget, kOwnDetection, kNoModel, kRunInBank, kStatus, "",
               ToolButton, kNoMenu, 0, "RESET"},
  CommandEntry{"double-clock", OnDoubleClock, kDetectFirst, Selected, kRunInBank, kStatus,
               "switch a KT500-family chip to double-clock mode",
               ToolButton, kNoMenu, 1, "2xCLK"},
  CommandEntry{"edit", OnEditBlock0, kDetectFirst, Selected, kRunInBank, kStatus,
               "show up to 16 bytes of block 0, or replace them",
               Menu, ByteModify, 0, "&Edit data in Block 0"},
  CommandEntry{"cable-test", OnCableTest, kOwnDetection, kNoModel, kRunInBank, kNoStatus,
               "test the serial cable by loop-back (chip removed, TXD joined to RXD)",
               ToolButton, kNoMenu, 2, "TEST"},
  CommandEntry{"upgrade-loader", OnDetectLegacyAndUpgrade, kOwnDetection, Reported, kRunInBank, kStatus,
               "detect a chip with loader 1.1E (KT410, KT420) and upgrade it to 1.1F",
               Menu, DetectChip, 1, "Detect Target MCU for Firmware1.1&E and Upgrade to 1.1F (EA#=1)"},
  CommandEntry{"update-loader", OnUpdateInternalLoader, kDetectFirst, Selected, kRunInBank, kStatus,
               "write a newer loader file into block 1 (internal memory mode)",
               Menu, UpgradeBsl, 0, "&Upgrade Internal BSL1.1F+ to Newer Version"},
  CommandEntry{"update-external-loader", OnUpdateExternalLoader, kDetectFirst, Selected, kRunInBank, kStatus,
               "write the loader for external memory mode into the low bank (--bank low)",
               Menu, UpgradeBsl, 1, "Upgrade External BSL Firmware to Newer Version"},
  CommandEntry{"probex", OnDownloadDebugMonitor, kDetectFirst, Selected, kRunInBank, kStatus,
               "replace the loader by the debug monitor Probex (the chip stops answering as a loader)",
               Menu, Probex, 0, "DownLoad Probex"},
  CommandEntry{"low-bank", OnEnterLowBank, kDetectFirst, Selected, kRunInBank, kStatus, "",
               Menu, ExternalFlash, 0, "&Low 64KB of External Flash"},
  CommandEntry{"high-bank", OnEnterHighBank, kDetectFirst, Selected, kRunInBank, kStatus, "",
               Menu, ExternalFlash, 1, "&High 64KB of External Flash"},
  CommandEntry{"mcu-flash", OnReturnToMcuFlash, kDetectFirst, Selected, kRunInBank, kStatus, "",
               Menu, ExternalFlash, 2, "&Back to MCU Flash"},
};
// clang-format on

}  // namespace

std::span<const CommandEntry> Commands() { return kCommands; }

const CommandEntry* FindCommandEntry(std::string_view name) {
  for (const CommandEntry& entry : kCommands)
    if (entry.name == name) return &entry;
  return nullptr;
}

std::string_view MenuTitle(WindowMenu menu) {
  switch (menu) {
    case WindowMenu::File: return "&File";
    case WindowMenu::DetectChip: return "&DetectChip/RS232";
    case WindowMenu::RunCode: return "&RunCode";
    case WindowMenu::UpgradeBsl: return "&Upgrade BSL";
    case WindowMenu::ByteModify: return "&ByteModify";
    case WindowMenu::Probex: return "&Probex";
    case WindowMenu::ExternalFlash: return "&ExternalFlash";
    case WindowMenu::None: break;
  }
  return "";
}

}  // namespace brisko
