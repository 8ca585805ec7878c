#include "sim/sim_options.hpp"

#include <CLI/CLI.hpp>

#include <charconv>
#include <fstream>
#include <iterator>

#include "sim/sim_config_check.hpp"

namespace brisko::sim {
namespace {

constexpr const char* kDescription =
    "Serves one simulated Talon51 chip with its boot-strap loader on a pseudo-terminal,\n"
    "prints the terminal's path and runs until interrupted. The baud-detect pattern\n"
    "resets the chip once it is past the handshake, and so does the host closing the\n"
    "terminal unless --keep-on-close is given.";

constexpr const char* kFooter =
    "On standard input, \"a16 0\" or \"a16 1\" flips the external flash's A16 switch, and\n"
    "\"state\" prints one line: the chip's phase, security, remap and double-clock bits,\n"
    "whether a bank is entered, how many bytes it has heard from hosts, and the last of\n"
    "them in hexadecimal (up to 16384).\n"
    "Fault specs: drop:CMD:OCC:IDX  corrupt:CMD:OCC:IDX[:MASK]  delay:CMD:OCC:IDX:MS\n"
    "refuse-erase:N  ok-delay:MS  no-ok  stop-after:N (CMD, MASK hexadecimal; 42 = \"BSL\",\n"
    "80 = \"OK\", 05 = status; OCC 0 = every occurrence since reset).\n"
    "Exit status: 0 when stopped by a signal, 1 when the terminal cannot be made,\n"
    "2 on a usage error.\n";

// What a real board's operator can read off it between runs: the state line
// needs only the last bytes a host sent.
constexpr std::size_t kKeptHostBytes = 16384;

bool ParseUnsigned(const std::string& text, int base, unsigned& out) {
  if (text.empty()) return false;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out, base);
  return error == std::errc() && end == text.data() + text.size();
}

CLI::Validator Check(std::string (*problem)(const std::string&)) {
  return CLI::Validator([problem](std::string& v) { return problem(v); }, "");
}

// The options, with `o` receiving them; every value is checked by CLI11 as it
// is taken, and the whole chip by SimConfigProblem afterwards.
void AddOptions(CLI::App& app, SimOptions& o, bool& sawModel) {
  SimConfig& c = o.config;
  // An option given twice takes its last value, so a script can add to a
  // command line it was handed.
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  app.add_option_function<std::string>(
         "--model",
         [&c, &sawModel](const std::string& v) {
           c.model = *ModelFromName(v);
           sawModel = true;
         },
         "KT410 KT420 KT530 KT540 KT550 KT560 KT570 KT580 (needed unless --loopback)")
      ->type_name("MODEL")
      ->check(CLI::Validator(
          [](std::string& v) { return ModelFromName(v) ? std::string() : "unknown model \"" + v + "\""; }, ""));
  app.add_option_function<std::string>(
         "--mode", [&c](const std::string& v) { c.memoryMode = v == "external" ? kExternalMemory : kInternalMemory; },
         "memory mode the board is strapped for: internal (default) or external")
      ->type_name("MODE")
      ->check(CLI::IsMember({"internal", "external"}));
  app.add_option("--link", o.linkPath, "also make PATH a symbolic link to the terminal")->type_name("PATH");
  app.add_option_function<std::string>(
         "--security", [&c](const std::string& v) { c.securityBits = static_cast<std::uint8_t>(std::stoul(v, nullptr, 16)); },
         "security bits 7..5 of the status byte (00 20 40 ... E0)")
      ->type_name("HEX")
      ->check(Check([](const std::string& v) {
        unsigned n = 0;
        return ParseUnsigned(v, 16, n) && n <= 0xFF ? std::string() : "\"" + v + "\" is not a hexadecimal byte";
      }));
  app.add_option_function<unsigned>(
         "--remap", [&c](unsigned v) { c.remapBits = static_cast<std::uint8_t>(v); }, "remap bits 1..0 of the status byte")
      ->type_name("0-3")
      ->check(CLI::Range(0u, 3u).description(""));
  app.add_flag("--double-clock", c.doubleClock, "the chip runs in double-clock mode");
  app.add_option_function<std::string>(
         "--letter", [&c](const std::string& v) { c.versionLetter = v[0]; },
         "loader version letter answered to 60h (default F)")
      ->type_name("C")
      ->check(Check([](const std::string& v) { return v.size() == 1 ? std::string() : std::string("one character"); }));
  app.add_option_function<std::string>(
         "--a16", [&c](const std::string& v) { c.a16 = v == "1"; },
         "DIP switch A16 of the board's 128 KB external flash: which 64 KB half answers (default 0)")
      ->type_name("0|1")
      ->check(CLI::IsMember({"0", "1"}).description(""));
  app.add_flag_callback(
      "--loopback",
      [&c, &sawModel] {
        c.loopback = true;
        sawModel = true;
      },
      "no chip: a cable with TXD joined to RXD echoes every byte");
  app.add_option_function<std::string>(
         "--loader", [&c](const std::string& v) { c.legacyLoader = *LegacyLoaderFromText(v); },
         "loader firmware: 1.1F (default) or the older 1.1E (KT410, KT420), which prompts with F7h "
         "and can be upgraded to 1.1F")
      ->type_name("V")
      ->check(Check([](const std::string& v) {
        return LegacyLoaderFromText(v) ? std::string() : std::string("1.1E or 1.1F");
      }));
  app.add_option_function<std::string>(
         "--block0",
         [&c](const std::string& path) {
           std::ifstream in(path, std::ios::binary);
           if (!in) throw CLI::ValidationError("--block0", "cannot read " + path);
           c.block0.assign(std::istreambuf_iterator<char>(in), {});
         },
         "block 0 holds FILE's bytes from 0000h on when the chip starts")
      ->type_name("FILE");
  app.add_option_function<std::vector<std::string>>(
         "--fault",
         [&c](const std::vector<std::string>& specs) {
           for (const std::string& spec : specs)
             if (std::string error = c.faults.Apply(spec); !error.empty())
               throw CLI::ValidationError("--fault " + spec, error);
         },
         "inject a fault (repeatable; see below)")
      ->type_name("SPEC")
      ->take_all();
  app.add_flag("--keep-on-close", o.pty.keepOnClose,
               "keep the chip's state when the host closes the terminal, as a real chip does "
               "(by default it resets, standing in for the operator's reset button between two runs)");
  app.add_option_function<unsigned>(
         "--read-lag-us", [&o](unsigned v) { o.pty.readLag = std::chrono::microseconds{v}; },
         "take each host byte N microseconds after it arrived, as a slow line would; a host that clears "
         "its output queue meanwhile loses the bytes not yet taken")
      ->type_name("N")
      ->check(CLI::Range(0u, 1000000u));
  app.add_flag_callback("--quiet", [&o] { o.verbose = false; }, "do not log the chip's phase changes to stderr");
  app.add_flag("--version", o.version, "print the version and end");
}

}  // namespace

std::string ParseSimOptions(const std::vector<std::string>& args, SimOptions& o) {
  CLI::App app(kDescription, "brisko-sim");
  bool sawModel = false;
  AddOptions(app, o, sawModel);
  std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes them from the back
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    o.help = true;
    return "";
  } catch (const CLI::ParseError& e) {
    return e.what();
  }
  if (o.version) return "";
  if (!sawModel) return "--model is required";
  if (std::string problem = SimConfigProblem(o.config); !problem.empty()) return problem;
  o.config.restartOnPattern = true;
  o.config.keptHostBytes = kKeptHostBytes;
  return "";
}

std::string SimUsage() {
  SimOptions ignored;
  bool sawModel = false;
  CLI::App app(kDescription, "brisko-sim");
  AddOptions(app, ignored, sawModel);
  app.footer(kFooter);
  return app.help();
}

std::string SimVersion() { return "brisko-sim " BRISKO_VERSION; }

}  // namespace brisko::sim
