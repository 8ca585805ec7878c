#include "cli/configuration_commands.hpp"

#include <CLI/CLI.hpp>

#include "cli/terminal_dialogs.hpp"
#include "cli/terminal_operator.hpp"
#include "shell/flash/byte_edit_parsing.hpp"
#include "shell/flash/external_bank_commands.hpp"
#include "shell/session/session.hpp"
#include "shell/configuration/remap_command.hpp"

namespace brisko::cli {
namespace {

constexpr std::uint32_t kHighBankBase = 0x10000;

void LockOptions(CLI::App& command, Arguments& args) {
  command
      .add_option_function<int>(
          "N", [&args](int n) { args.lockOption = n; },
          "the lock menu's option; without it the chip's menu is listed")
      ->check(CLI::Range(1, 6));
}

void RemapOptions(CLI::App& command, Arguments& args) {
  command
      .add_option_function<std::string>(
          "WHAT",
          [&args](const std::string& name) {
            const auto option = RemapOptionFromName(name);
            if (!option) throw CLI::ValidationError("WHAT", "\"" + name + "\" is not one of 1k, 2k, 4k, sc0, sc1");
            args.remapOption = *option;
          },
          "1k, 2k, 4k (KT410/420: PROG-RB0, RB1, both), sc0 or sc1 (KT500 family)")
      ->required();
}

// Both are checked as they are parsed: a malformed address or byte is a
// usage error that touches nothing, never a guess at what was meant.
void EditOptions(CLI::App& command, Arguments& args) {
  command
      .add_option_function<std::string>(
          "ADDRESS",
          [&args](const std::string& a) {
            std::string whyNot;
            args.editAddress = EditAddressText(a, whyNot);
            if (!args.editAddress) throw CLI::ValidationError("ADDRESS", whyNot);
          },
          "block-0 address, 1 to 4 hexadecimal digits (e.g. 03E6)")
      ->required();
  command.add_option_function<std::string>(
      "DATA",
      [&args](const std::string& d) {
        std::string whyNot;
        args.editData = EditDataText(d, whyNot);
        if (!args.editData) throw CLI::ValidationError("DATA", whyNot);
      },
      "1 to 16 new bytes of 1 or 2 hexadecimal digits, e.g. \"72 4F 5D 0\"; without it the bytes there are shown");
}

// Without new bytes the command shows the bytes at the address.
CommandOutcome EditAndShow(CommandContext& c, CommandHandler edit) {
  const CommandOutcome outcome = edit(c.session);
  if (c.args.editData) return outcome;
  if (auto* op = dynamic_cast<TerminalOperator*>(&c.session.Op()); op && !op->EditDisplayText().empty())
    std::fprintf(c.out, "%s: %s\n", c.args.editAddress->c_str(), op->EditDisplayText().c_str());
  return outcome;
}

}  // namespace

void AddBankOption(CLI::App& command, Arguments& args) {
  command
      .add_option_function<std::string>(
          "--bank",
          [&args](const std::string& half) {
            if (half != "low" && half != "high") throw CLI::ValidationError("--bank", "is low or high");
            args.bankHigh = half == "high";
          },
          "run on the low or high 64 KB of the board's external flash (set its A16 switch as told)")
      ->type_name("low|high");
}

CommandOutcome RunOnBank(Session& session, bool high, const CommandRunner::Command& command) {
  const CommandOutcome entered = high ? OnEnterHighBank(session) : OnEnterLowBank(session);
  if (!entered.Ok()) return entered;
  CommandOutcome outcome = command(session);
  // The status line tells the command's result ("Unmatched data at ..."),
  // not the return that follows it.
  const std::string status = session.Window().StatusText();
  const CommandOutcome back = ReturnToMcuFlashUnasked(session);
  if (outcome.Ok() && !back.Ok()) return back;
  session.Window().SetStatusText(status);
  // The return puts back what the bank helper displaced: a cancel waits for it.
  if (outcome.Ok() && session.State().cancelRequested)
    outcome = CommandOutcome::Cancelled("return to MCU flash", "the command done, returned to the chip's own flash");
  else if (outcome.kind == OutcomeKind::Cancelled && back.Ok())
    outcome.completed = "returned to the chip's own flash";
  // The high half's addresses are 10000h and up, as its listings show them.
  if (high && outcome.block < 0) outcome.address += kHighBankBase;
  return outcome;
}

std::vector<CliExtra> ConfigurationExtras() {
  return {
      {"lock", LockOptions, {}},
      {"remap", RemapOptions, {}},
      {"edit", EditOptions, EditAndShow},
  };
}

}  // namespace brisko::cli
