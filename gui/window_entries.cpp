#include "gui/window_entries.hpp"

#include <algorithm>
#include <map>

#include "shell/commands/command_table.hpp"

namespace brisko::gui {
namespace {

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// The table's commands shown at `place`, in their order there.
std::vector<const CommandEntry*> Placed(WindowPlace place) {
  std::vector<const CommandEntry*> placed;
  for (const CommandEntry& entry : Commands())
    if (entry.place == place) placed.push_back(&entry);
  std::stable_sort(placed.begin(), placed.end(), [](const CommandEntry* a, const CommandEntry* b) {
    return a->menu != b->menu ? a->menu < b->menu : a->slot < b->slot;
  });
  return placed;
}

MenuEntry About(const char* text, const char* body) {
  return MenuEntry{QStringLiteral("&Help"), QString::fromUtf8(text), EntryKind::About, {}, QString::fromUtf8(body)};
}

}  // namespace

// Each item of a menu has a mnemonic of its own, so that its key runs it
// rather than only moving to it.
std::vector<MenuEntry> MenuEntries() {
  std::vector<MenuEntry> entries;
  for (const CommandEntry* entry : Placed(WindowPlace::Menu))
    entries.push_back({Text(MenuTitle(entry->menu)), Text(entry->text), EntryKind::Chip, entry->handler, {}});
  // The File menu ends with Exit, below a separator.
  const QString file = Text(MenuTitle(WindowMenu::File));
  const auto fileEnd =
      std::find_if(entries.begin(), entries.end(), [&file](const MenuEntry& e) { return e.menu != file; });
  entries.insert(entries.insert(fileEnd, MenuEntry{file, QStringLiteral("&Exit"), EntryKind::Exit, {}, {}}),
                 MenuEntry{file, {}, EntryKind::Separator, {}, {}});
  for (MenuEntry& about : std::vector<MenuEntry>{
      About("About &Orvex Brisko",
            "Orvex Brisko programs the flash of Talon51 chips through their boot-strap loader over an RS-232 line.\n\n"
            "Detect the chip first (DetectChip/RS232), then use the IAP Function buttons: Download, Read, "
            "Sector Erase, Chip Erase, Lock Chip and Memory Remap."),
      About("About &Detect Chip",
            "Detect Chip selects the chip model and memory mode, sets the port and bit rate, and then asks you to "
            "reset the board. The host locks the loader onto the bit rate and reads its security, remap and clock "
            "state.\n\nEvery other chip command waits for a successful detection."),
      About("About &Upgrade BSL",
            "Upgrade BSL replaces the loader in block 1 with a newer version, from a file or from external memory.\n\n"
            "Do not remove power or reset the board while the upgrade runs."),
      About("About &Byte Modify",
            "Byte Modify edits up to 16 bytes of block 0 in place. The rest of the sector is kept as it was."),
      About("About &Probex",
            "DownLoad Probex replaces the loader by the Probex debug monitor. The chip then answers the debugger, "
            "not this program, until a loader is installed again."),
       })
    entries.push_back(std::move(about));
  return entries;
}

std::vector<IapEntry> IapEntries() {
  std::vector<IapEntry> entries;
  for (const CommandEntry* entry : Placed(WindowPlace::IapButton)) entries.push_back({Text(entry->text), entry->handler});
  return entries;
}

// The tool buttons show icons only; their accessible names are the table's.
std::vector<ToolEntry> ToolEntries() {
  static const std::map<std::string_view, QString> icons = {
      {"reset", QStringLiteral(":/brisko/reset.svg")},
      {"double-clock", QStringLiteral(":/brisko/double_clock.svg")},
      {"cable-test", QStringLiteral(":/brisko/test.svg")},
  };
  std::vector<ToolEntry> entries;
  for (const CommandEntry* entry : Placed(WindowPlace::ToolButton))
    entries.push_back({icons.at(entry->name), Text(entry->text), entry->handler});
  return entries;
}

}  // namespace brisko::gui
