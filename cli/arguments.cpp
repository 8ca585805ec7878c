#include "cli/arguments.hpp"

#include <cstdlib>
#include <set>

#include "chip/chip_catalogue.hpp"

namespace brisko::cli {
namespace {

const std::set<std::string> kCommands = {"detect", "download", "download-run", "read", "save", "compare",
                                         "erase",  "chip-erase", "run", "baud"};

bool ParseUnsigned(const std::string& text, int base, unsigned& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  const unsigned long value = std::strtoul(text.c_str(), &end, base);
  if (*end != '\0' || value > 0xFFFFFFFFul || text[0] == '-') return false;
  out = static_cast<unsigned>(value);
  return true;
}

bool ParseDouble(const std::string& text, double& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return *end == '\0';
}

std::optional<int> ParseMode(const std::string& text) {
  if (text == "internal") return kInternalMemory;
  if (text == "external") return kExternalMemory;
  return std::nullopt;
}

// Walks the arguments; each option that takes a value consumes the next one.
class Parser {
 public:
  Parser(const std::vector<std::string>& args, std::string& error) : args_(args), error_(error) {}

  std::optional<Arguments> Run() {
    Arguments a;
    for (i_ = 0; i_ < args_.size(); ++i_) {
      const std::string& arg = args_[i_];
      if (arg.size() > 1 && arg[0] == '-') {
        if (!Option(arg, a)) return std::nullopt;
      } else if (a.command.empty()) {
        if (!kCommands.count(arg)) return Fail("unknown command \"" + arg + "\"");
        a.command = arg;
      } else {
        a.operands.push_back(arg);
      }
    }
    return a;
  }

 private:
  std::optional<Arguments> Fail(const std::string& why) {
    error_ = why;
    return std::nullopt;
  }

  bool Value(const std::string& option, std::string& out) {
    if (i_ + 1 >= args_.size()) {
      error_ = option + " needs a value";
      return false;
    }
    out = args_[++i_];
    return true;
  }

  bool Bad(const std::string& option, const std::string& value) {
    error_ = "bad value \"" + value + "\" for " + option;
    return false;
  }

  bool Option(const std::string& option, Arguments& a) {
    std::string v;
    unsigned n = 0;
    double d = 0;
    if (option == "--help" || option == "-h") return a.help = true;
    if (option == "--version") return a.version = true;
    if (option == "--yes" || option == "-y") return a.yes = true;
    if (option == "--sim-double-clock") return a.simDoubleClock = true;
    if (option == "--next") return a.next = true;
    if (option == "--text") return (a.textMode = true, true);
    if (option == "--binary") return (a.textMode = false, true);
    if (!Value(option, v)) return false;
    if (option == "--port") return (a.port = v, true);
    if (option == "--trace") return (a.trace = v, true);
    if (option == "--baud") return ParseUnsigned(v, 10, n) ? (a.baud = n, true) : Bad(option, v);
    if (option == "--crystal") return ParseDouble(v, d) && d > 0 ? (a.crystal = d, true) : Bad(option, v);
    if (option == "--model" || option == "--simulate") {
      const auto model = ModelFromName(v);
      if (!model) return Bad(option, v);
      (option == "--model" ? a.model : a.simulateModel) = *model;
      return true;
    }
    if (option == "--mode" || option == "--sim-mode") {
      const auto mode = ParseMode(v);
      if (!mode) return Bad(option, v);
      (option == "--mode" ? a.memoryMode : a.simMemoryMode) = *mode;
      return true;
    }
    if (option == "--sim-security") return ParseUnsigned(v, 16, n) && n <= 0xFF ? (a.simSecurity = n, true) : Bad(option, v);
    if (option == "--sim-remap") return ParseUnsigned(v, 10, n) && n <= 3 ? (a.simRemap = n, true) : Bad(option, v);
    if (option == "--sim-letter") return v.size() == 1 ? (a.simLetter = v[0], true) : Bad(option, v);
    if (option == "--sim-fault") return (a.simFaults.push_back(v), true);
    if (option == "--sector") return ParseUnsigned(v, 10, n) ? (a.sector = static_cast<int>(n), true) : Bad(option, v);
    if (option == "--address") return ParseUnsigned(v, 16, n) && n <= 0xFFFF ? (a.address = n, true) : Bad(option, v);
    if (option == "--range") return ParseUnsigned(v, 10, n) ? (a.range = static_cast<int>(n), true) : Bad(option, v);
    error_ = "unknown option " + option;
    return false;
  }

  const std::vector<std::string>& args_;
  std::string& error_;
  std::size_t i_ = 0;
};

}  // namespace

std::optional<Arguments> ParseArguments(const std::vector<std::string>& args, std::string& error) {
  return Parser(args, error).Run();
}

std::string UsageText() {
  return R"(Usage: brisko-cli [options] COMMAND [command options]

Talks to the boot-strap loader of a Talon51 chip over a serial port. Every
chip command first detects the chip (reset it when told to), then runs.

Commands:
  detect                         detect the chip and print its information
  download FILE                  download an Intel HEX or binary file
  download-run FILE              download, then start the user's program
  read                           read sectors; prints the sector table and the first sector
  save FILE [--text|--binary]    read sectors and save them (text listing by default)
  compare FILE                   compare a file with flash
  erase                          erase sectors
  chip-erase                     erase the whole chip (external memory mode)
  run                            start the user's program
  baud --crystal MHZ [--next]    the best bit rate and timer-2 reload for a crystal

Command options:
  --sector ENTRY     entry of the "Starting Sector" list: block 0's sectors,
                     then block 1's (default 0)
  --address HEX      the start address instead of --sector
  --range N          number of sectors (0 or absent: all sectors of the block)

Options:
  --port PORT        COMn, a port number, or a device path (default: the saved settings)
  --baud N           bit rate (38400, 19200, 9600, 4800, 2400, 1200, 600)
  --crystal MHZ      crystal frequency of the target (default: the saved settings)
  --model MODEL      KT410 KT420 KT530 KT540 KT550 KT560 KT570 KT580 (default KT420)
  --mode MODE        internal (EA#=1, default) or external (EA#=0)
  --yes              answer Yes to every question (otherwise asked on a terminal,
                     answered No when stdin is not a terminal)
  --trace FILE       write every byte on the wire to FILE
  --simulate MODEL   use the built-in simulated chip instead of a port
    --sim-mode MODE, --sim-security HEX, --sim-remap N, --sim-double-clock,
    --sim-letter C, --sim-fault SPEC   its state and injected faults
  --help, --version

Exit status: 0 on success, 1 when the command failed or was declined, 2 on a usage error.
)";
}

}  // namespace brisko::cli
