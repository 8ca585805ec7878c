#include "sim/sim_options.hpp"

#include <charconv>
#include <fstream>
#include <iterator>

namespace brisko::sim {
namespace {

bool ParseUnsigned(const std::string& text, int base, unsigned& out) {
  if (text.empty()) return false;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out, base);
  return error == std::errc() && end == text.data() + text.size();
}

std::string TakeValue(const std::vector<std::string>& args, std::size_t& i, std::string& value) {
  if (i + 1 >= args.size()) return args[i] + " needs a value";
  value = args[++i];
  return "";
}

std::string ApplyOption(const std::string& option, const std::string& value, SimOptions& o, bool& sawModel) {
  SimConfig& c = o.config;
  unsigned number = 0;
  if (option == "--model") {
    auto model = ModelFromName(value);
    if (!model) return "unknown model \"" + value + "\" (KT410 KT420 KT530 KT540 KT550 KT560 KT570 KT580)";
    c.model = *model;
    sawModel = true;
  } else if (option == "--mode") {
    if (value == "internal")
      c.memoryMode = kInternalMemory;
    else if (value == "external")
      c.memoryMode = kExternalMemory;
    else
      return "--mode is internal or external";
  } else if (option == "--link") {
    o.linkPath = value;
  } else if (option == "--security") {
    if (!ParseUnsigned(value, 16, number) || number > 0xFF || (number & ~0xE0u) != 0)
      return "--security is a hexadecimal byte of bits 7..5 (00, 20, 40, ... E0)";
    c.securityBits = static_cast<std::uint8_t>(number);
  } else if (option == "--remap") {
    if (!ParseUnsigned(value, 10, number) || number > 3) return "--remap is 0 to 3";
    c.remapBits = static_cast<std::uint8_t>(number);
  } else if (option == "--a16") {
    if (value != "0" && value != "1") return "--a16 is 0 or 1";
    c.a16 = value == "1";
  } else if (option == "--loader") {
    if (value != "1.1E" && value != "1.1F") return "--loader is 1.1E or 1.1F";
    c.legacyLoader = value == "1.1E";
  } else if (option == "--letter") {
    if (value.size() != 1) return "--letter is one character";
    c.versionLetter = value[0];
  } else if (option == "--block0") {
    std::ifstream in(value, std::ios::binary);
    if (!in) return "--block0: cannot read " + value;
    c.block0.assign(std::istreambuf_iterator<char>(in), {});
  } else if (option == "--read-lag-us") {
    if (!ParseUnsigned(value, 10, number) || number > 1000000) return "--read-lag-us is 0 to 1000000 microseconds";
    o.pty.readLag = std::chrono::microseconds{number};
  } else if (option == "--fault") {
    std::string error = c.faults.Apply(value);
    if (!error.empty()) return "--fault " + value + ": " + error;
  } else {
    return "unknown option " + option;
  }
  return "";
}

}  // namespace

std::string ParseSimOptions(const std::vector<std::string>& args, SimOptions& o) {
  bool sawModel = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      o.help = true;
      return "";
    }
    if (arg == "--quiet") {
      o.verbose = false;
    } else if (arg == "--keep-on-close") {
      o.pty.keepOnClose = true;
    } else if (arg == "--double-clock") {
      o.config.doubleClock = true;
    } else if (arg == "--loopback") {
      o.config.loopback = true;
      sawModel = true;
    } else {
      std::string value;
      std::string error = TakeValue(args, i, value);
      if (error.empty()) error = ApplyOption(arg, value, o, sawModel);
      if (!error.empty()) return error;
    }
  }
  if (!sawModel) return "--model is required";
  if (o.config.legacyLoader && o.config.model != kKT410 && o.config.model != kKT420) return "--loader 1.1E is for KT410 and KT420";
  o.config.restartOnPattern = true;
  return "";
}

std::string SimUsage() {
  return "usage: brisko-sim --model KT540 [--mode internal|external] [--link PATH]\n"
         "                  [--security HEX] [--remap N] [--double-clock] [--letter C]\n"
         "                  [--a16 0|1] [--loopback] [--loader 1.1E|1.1F] [--block0 FILE]\n"
         "                  [--fault SPEC]... [--keep-on-close] [--read-lag-us N]\n"
         "                  [--quiet] [--help]\n"
         "\n"
         "Serves one simulated Talon51 chip with its boot-strap loader on a\n"
         "pseudo-terminal, prints the terminal's path and runs until interrupted.\n"
         "The baud-detect pattern resets the chip once it is past the handshake,\n"
         "and so does the host closing the terminal unless --keep-on-close is given.\n"
         "On standard input, \"state\" prints one line: the chip's phase, security,\n"
         "remap and double-clock bits, whether a bank is entered, and every byte\n"
         "it has received from hosts so far in hexadecimal.\n"
         "With --loopback no --model is needed.\n"
         "\n"
         "  --model M        KT410 KT420 KT530 KT540 KT550 KT560 KT570 KT580\n"
         "  --mode           memory mode the board is strapped for (default internal)\n"
         "  --link PATH      also make PATH a symbolic link to the terminal\n"
         "  --security HEX   security bits 7..5 of the status byte (00 20 40 ... E0)\n"
         "  --remap N        remap bits 1..0 of the status byte (0..3)\n"
         "  --double-clock   the chip runs in double-clock mode\n"
         "  --letter C       loader version letter answered to 60h (default F)\n"
         "  --a16 0|1        DIP switch A16 of the board's 128 KB external flash:\n"
         "                   which 64 KB half answers (default 0); while running,\n"
         "                   the line \"a16 0\" or \"a16 1\" on standard input flips it\n"
         "  --loopback       no chip: a cable with TXD joined to RXD echoes every byte\n"
         "  --loader V       loader firmware: 1.1F (default) or the older 1.1E (KT410, KT420),\n"
         "                   which prompts with F7h and can be upgraded to 1.1F\n"
         "  --block0 FILE    block 0 holds FILE's bytes from 0000h on when the chip starts\n"
         "  --fault SPEC     drop:CMD:OCC:IDX  corrupt:CMD:OCC:IDX[:MASK]\n"
         "                   delay:CMD:OCC:IDX:MS  refuse-erase:N  ok-delay:MS\n"
         "                   no-ok  stop-after:N\n"
         "                   (CMD, MASK hexadecimal; 42 = \"BSL\", 80 = \"OK\", 05 = status;\n"
         "                   OCC 0 = every occurrence since reset)\n"
         "  --keep-on-close  keep the chip's state when the host closes the terminal,\n"
         "                   as a real chip does (by default it resets, standing in\n"
         "                   for the operator's reset button between two runs)\n"
         "  --read-lag-us N  take each host byte N microseconds after it arrived, as\n"
         "                   a slow line would; a host that clears its output queue\n"
         "                   meanwhile loses the bytes not yet taken\n"
         "  --quiet          do not log the chip's phase changes to stderr\n";
}

}  // namespace brisko::sim
