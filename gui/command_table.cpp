#include "gui/command_table.hpp"

#include "shell/flash/byte_edit_command.hpp"
#include "shell/detection/cable_test_command.hpp"
#include "shell/flash/compare_command.hpp"
#include "shell/loader/debug_monitor.hpp"
#include "shell/detection/detect_command.hpp"
#include "shell/configuration/double_clock_command.hpp"
#include "shell/flash/download_command.hpp"
#include "shell/flash/erase_commands.hpp"
#include "shell/flash/external_bank_commands.hpp"
#include "shell/loader/legacy_detection.hpp"
#include "shell/loader/loader_update.hpp"
#include "shell/configuration/lock_command.hpp"
#include "shell/session/session.hpp"
#include "shell/flash/print_command.hpp"
#include "shell/flash/read_command.hpp"
#include "shell/configuration/remap_command.hpp"
#include "shell/flash/run_user_code.hpp"
#include "shell/flash/save_command.hpp"
#include "shell/loader/unknown_version_detect.hpp"

namespace brisko::gui {
namespace {

MenuEntry Chip(const char* menu, const char* text, CommandRunner::Command command = {}) {
  return MenuEntry{QString::fromUtf8(menu), QString::fromUtf8(text), EntryKind::Chip, std::move(command), {}};
}
MenuEntry About(const char* text, const char* body) {
  return MenuEntry{QStringLiteral("&Help"), QString::fromUtf8(text), EntryKind::About, {}, QString::fromUtf8(body)};
}

CommandOutcome ResetCommand(Session& session) {
  session.ResetTarget();
  return CommandOutcome::Success("reset");
}

}  // namespace

// Each item of a menu has a mnemonic of its own, so that its key runs it
// rather than only moving to it.
std::vector<MenuEntry> MenuEntries() {
  return {
      Chip("&File", "&Compare", OnCompare),
      Chip("&File", "&Save", OnSave),
      Chip("&File", "&Print", OnPrint),
      MenuEntry{QStringLiteral("&File"), {}, EntryKind::Separator, {}, {}},
      MenuEntry{QStringLiteral("&File"), QStringLiteral("Exit"), EntryKind::Exit, {}, {}},
      Chip("&DetectChip/RS232", "&Detect Target MCU for Firmware1.1F and RS232 Config.", OnDetectMenu),
      Chip("&DetectChip/RS232", "Detect Target MCU for Firmware1.1&E and Upgrade to 1.1F (EA#=1)",
            OnDetectLegacyAndUpgrade),
      Chip("&DetectChip/RS232", "Detect Target MCU for Firmware Version &Unknown (EA#=1)",
            OnDetectUnknownVersion),
      Chip("&RunCode", "&Execute User Code (Fw: v1.1F)", ExecuteUserCode),
      Chip("&Upgrade BSL", "&Upgrade Internal BSL1.1F+ to Newer Version", OnUpdateInternalLoader),
      Chip("&Upgrade BSL", "Upgrade External BSL Firmware to Newer Version", OnUpdateExternalLoader),
      Chip("&ByteModify", "&Edit data in Block 0", OnEditBlock0),
      Chip("&Probex", "DownLoad Probex", OnDownloadDebugMonitor),
      Chip("&ExternalFlash", "&Low 64KB of External Flash", OnEnterLowBank),
      Chip("&ExternalFlash", "&High 64KB of External Flash", OnEnterHighBank),
      Chip("&ExternalFlash", "&Back to MCU Flash", OnReturnToMcuFlash),
      About("About Orvex Brisko",
            "Orvex Brisko programs the flash of Talon51 chips through their boot-strap loader over an RS-232 line.\n\n"
            "Detect the chip first (DetectChip/RS232), then use the IAP Function buttons: Download, Read, "
            "Sector Erase, Chip Erase, Lock Chip and Memory Remap."),
      About("About Detect Chip",
            "Detect Chip selects the chip model and memory mode, sets the port and bit rate, and then asks you to "
            "reset the board. The host locks the loader onto the bit rate and reads its security, remap and clock "
            "state.\n\nEvery other chip command waits for a successful detection."),
      About("About Upgrade BSL",
            "Upgrade BSL replaces the loader in block 1 with a newer version, from a file or from external memory.\n\n"
            "Do not remove power or reset the board while the upgrade runs."),
      About("About Byte Modify",
            "Byte Modify edits up to 16 bytes of block 0 in place. The rest of the sector is kept as it was."),
      About("About Probex",
            "DownLoad Probex replaces the loader by the Probex debug monitor. The chip then answers the debugger, "
            "not this program, until a loader is installed again."),
  };
}

std::vector<IapEntry> IapEntries() {
  return {
      {QStringLiteral("Download"), OnDownload},
      {QStringLiteral("Dnload/Run UserCode"), OnDownloadAndRun},
      {QStringLiteral("Read"), OnRead},
      {QStringLiteral("Sector Erase"), OnSectorErase},
      {QStringLiteral("Chip Erase"), OnChipErase},
      {QStringLiteral("Lock Chip"), OnLockChip},
      {QStringLiteral("Memory Remap"), OnMemoryRemap},
  };
}

std::vector<ToolEntry> ToolEntries() {
  return {
      {QStringLiteral(":/brisko/reset.svg"), QStringLiteral("RESET"), ResetCommand},
      {QStringLiteral(":/brisko/double_clock.svg"), QStringLiteral("2xCLK"), OnDoubleClock},
      {QStringLiteral(":/brisko/test.svg"), QStringLiteral("TEST"), OnCableTest},
  };
}

}  // namespace brisko::gui
