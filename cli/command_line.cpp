#include "cli/command_line.hpp"

#include <CLI/CLI.hpp>

#include <sstream>

#include "chip/chip_catalogue.hpp"
#include "cli/cli_command.hpp"
#include "cli/command_options.hpp"
#include "cli/configuration_commands.hpp"
#include "cli/line_options.hpp"
#include "shell/setup/baud_calculator.hpp"

namespace brisko::cli {
namespace {

// The ports the communication set-up offers: COM1 .. COM256.
constexpr int kFirstPort = 1;
constexpr int kLastPort = 256;

constexpr const char* kFooter =
    "Every chip command first detects the chip (reset it when told to), then runs.\n"
    "Ctrl-C stops a command after the current chunk; a second Ctrl-C ends at once.\n"
    "Exit status: 0 on success, 1 when the command failed or was declined, 2 on a usage error,\n"
    "130 when stopped by Ctrl-C.";

constexpr const char* kModelList = "KT410, KT420, KT530, KT540, KT550, KT560, KT570, KT580";

const CLI::Validator kModelName(
    [](std::string& name) { return ModelFromName(name) ? std::string() : "unknown model \"" + name + "\""; },
    "KT410|KT420|KT530|KT540|KT550|KT560|KT570|KT580");

MemoryMode ModeCode(const std::string& text) { return text == "external" ? kExternalMemory : kInternalMemory; }

void AddGlobalOptions(CLI::App& app, Arguments& a) {
  app.add_option("--port", a.ports,
                 "COMn, a port number (1-256), or a device path (default: the saved settings); "
                 "repeated: the command runs on every port at once")
      ->type_name("PORT")
      ->allow_extra_args(false)
      ->check(CLI::Validator(
          [](std::string& v) {
            std::string error;
            PortNumberOf(v, error);
            return error;
          },
          ""));
  std::vector<unsigned> rates(kRateTable.begin(), kRateTable.end());
  app.add_option_function<unsigned>(
         "--baud", [&a](unsigned v) { a.baud = v; }, "bit rate: 38400, 19200, 9600, 4800, 2400, 1200 or 600")
      ->type_name("N")
      ->check(CLI::IsMember(rates));
  app.add_option_function<double>(
         "--crystal", [&a](double v) { a.crystal = v; },
         "crystal frequency of the target, 1.0 to 40.0 (default: the saved settings)")
      ->type_name("MHZ")
      ->check(CLI::Range(1.0, 40.0));
  app.add_option_function<std::string>(
         "--model", [&a](const std::string& v) { a.model = ModelFromName(v); },
         "chip model; needed on a real port, whose loader does not tell it (with --simulate: the simulated one)")
      ->type_name("MODEL")
      ->check(kModelName);
  app.add_option_function<std::string>(
         "--mode", [&a](const std::string& v) { a.memoryMode = ModeCode(v); },
         "internal (EA#=1, default) or external (EA#=0)")
      ->type_name("MODE")
      ->check(CLI::IsMember({"internal", "external"}));
  app.add_flag("-y,--yes", a.yes,
               "answer Yes to every question (otherwise asked on a terminal, answered No when stdin is not one)");
  app.add_option_function<std::string>(
         "--trace", [&a](const std::string& v) { a.trace = v; }, "write every byte on the wire to FILE")
      ->type_name("FILE");
  app.add_flag("--save-settings", a.saveSettings,
               "save port, rate and crystal as the defaults of later runs, once the chip is detected");
  AddBankOption(app, a);
  AddLineOptions(app, a);

  const std::string sim = "Simulated chip";
  app.add_option_function<std::string>(
         "--simulate", [&a](const std::string& v) { a.simulateModel = ModelFromName(v); },
         "use the built-in simulated chip instead of a port")
      ->type_name("MODEL")
      ->check(kModelName)
      ->group(sim);
  app.add_option_function<std::string>(
         "--sim-mode", [&a](const std::string& v) { a.simMemoryMode = ModeCode(v); }, "its memory mode")
      ->type_name("MODE")
      ->check(CLI::IsMember({"internal", "external"}))
      ->group(sim);
  AddHexOption(app, "--sim-security", a.simSecurity, 0xFF, "its status byte's lock bits")->group(sim);
  app.add_option_function<unsigned>(
         "--sim-remap", [&a](unsigned v) { a.simRemap = v; }, "its remap bits")
      ->type_name("0-3")
      ->check(CLI::Range(0u, 3u))
      ->group(sim);
  app.add_flag("--sim-double-clock", a.simDoubleClock, "it runs in double-clock mode")->group(sim);
  app.add_option_function<std::string>(
         "--sim-letter", [&a](const std::string& v) { a.simLetter = v[0]; }, "its loader version letter")
      ->type_name("C")
      ->check(CLI::Validator([](std::string& v) { return v.size() == 1 ? "" : std::string("one letter"); }, ""))
      ->group(sim);
  app.add_option_function<std::string>(
         "--sim-loader", [&a](const std::string& v) { a.simLegacyLoader = v == "1.1E"; },
         "its loader firmware: 1.1F, or the older 1.1E (KT410, KT420)")
      ->type_name("V")
      ->check(CLI::IsMember({"1.1E", "1.1F"}))
      ->group(sim);
  app.add_option("--sim-fault", a.simFaults, "a fault to inject (repeatable)")->type_name("SPEC")->group(sim);
}

void AddCommands(CLI::App& app, Arguments& a) {
  for (const CliCommand& command : CommandTable()) {
    CLI::App* sub = app.add_subcommand(command.name, command.summary);
    sub->callback([&a, name = command.name] { a.command = name; });
    if (command.addOptions) command.addOptions(*sub, a);
  }
  app.require_subcommand(1);
}

int UsageError(const std::string& why, std::FILE* err) {
  std::fprintf(err, "brisko-cli: %s\n(see brisko-cli --help)\n", why.c_str());
  return kExitUsage;
}

bool Blank(const std::string& text) { return text.find_first_not_of(" \t\r\n") == std::string::npos; }

// An empty value is never meant: `--port "$PORT"` with PORT unset must not
// fall back to the saved port. "" when every value has something in it.
std::string BlankValue(const std::vector<std::string>& argv) {
  for (std::size_t i = 0; i < argv.size(); ++i) {
    const std::string& arg = argv[i];
    const std::size_t equals = arg.find('=');
    if (arg.rfind("--", 0) == 0 && equals != std::string::npos && Blank(arg.substr(equals + 1)))
      return arg.substr(0, equals) + " has an empty value";
    if (!Blank(arg)) continue;
    if (i > 0 && argv[i - 1].rfind("-", 0) == 0) return argv[i - 1] + " has an empty value";
    return "an argument is empty";
  }
  return "";
}

// What the parser cannot see alone: which command takes --bank, needs a
// model, or detects a chip whose settings could be saved. "" when all is well.
std::string CommandRuleBroken(const CLI::App& app, const Arguments& a) {
  const CliCommand& command = *FindCommand(a.command);
  const CLI::App* sub = app.get_subcommands().front();
  if (a.bankHigh && !sub->get_option_no_throw("--bank")) return a.command + " does not take --bank";
  if (command.model == ChipModelUse::Selected && !a.model && !a.simulateModel)
    return a.command + " needs --model: the chip's loader does not tell its model (" + kModelList + ")";
  if (a.saveSettings && command.model == ChipModelUse::None)
    return "--save-settings saves what a detection proved; " + a.command + " detects no chip";
  if (a.saveSettings && a.port && !a.portNumber)
    return "--save-settings keeps a port number, and " + *a.port +
           " is a device path: map it to a COMn in ports.conf and give --port COMn";
  return "";
}

}  // namespace

std::optional<int> PortNumberOf(const std::string& port, std::string& error) {
  std::string digits = port;
  if (digits.size() > 3 && (digits[0] == 'C' || digits[0] == 'c') && (digits[1] == 'O' || digits[1] == 'o') &&
      (digits[2] == 'M' || digits[2] == 'm'))
    digits.erase(0, 3);
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  // Compared as text past six digits, so no number is too long to judge.
  const int number = digits.size() > 6 ? kLastPort + 1 : std::stoi(digits);
  if (number < kFirstPort || number > kLastPort) {
    error = "port " + port + " is not one of COM1 to COM256 (1 to 256)";
    return std::nullopt;
  }
  return number;
}

std::optional<int> ParseCommandLine(const std::vector<std::string>& argv, Arguments& args, std::FILE* out,
                                    std::FILE* err) {
  CLI::App app("Talks to the boot-strap loader of a Talon51 chip over a serial port.", "brisko-cli");
  app.set_version_flag("--version", "brisko-cli " BRISKO_VERSION);
  app.footer(kFooter);
  app.fallthrough();  // global options may follow the command
  AddGlobalOptions(app, args);
  AddCommands(app, args);

  if (const std::string blank = BlankValue(argv); !blank.empty()) return UsageError(blank, err);
  std::vector<std::string> reversed(argv.rbegin(), argv.rend());  // CLI11 takes them from the back
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    std::fputs(app.help().c_str(), out);
    return kExitOk;
  } catch (const CLI::CallForAllHelp&) {
    std::fputs(app.help("", CLI::AppFormatMode::All).c_str(), out);
    return kExitOk;
  } catch (const CLI::CallForVersion& version) {
    std::fprintf(out, "%s\n", version.what());
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    const auto left = app.remaining();
    if (app.get_subcommands().empty() && !left.empty()) return UsageError("unknown command \"" + left[0] + "\"", err);
    return UsageError(e.what(), err);
  }
  if (args.command == "baud" && !args.crystal) return UsageError("baud needs --crystal MHZ", err);
  if (args.ports.size() == 1) args.port = args.ports.front();
  if (args.port) {
    std::string ignored;
    args.portNumber = PortNumberOf(*args.port, ignored);
  }
  if (const std::string broken = CommandRuleBroken(app, args); !broken.empty()) return UsageError(broken, err);
  if (const std::string broken = LineRuleBroken(args); !broken.empty()) return UsageError(broken, err);
  return std::nullopt;
}

}  // namespace brisko::cli
