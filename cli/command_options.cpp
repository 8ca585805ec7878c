#include "cli/command_options.hpp"

#include <cstdlib>

namespace brisko::cli {
namespace {

// Sector lists hold at most 512 block-0 sectors and 64 block-1 sectors; an
// entry past the actual list is refused once the list is known.
constexpr int kMaxListEntry = 1023;

std::optional<unsigned> ParseHex(const std::string& text, unsigned max) {
  if (text.empty() || text.size() > 8 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    return std::nullopt;
  const unsigned long value = std::strtoul(text.c_str(), nullptr, 16);
  if (value > max) return std::nullopt;
  return static_cast<unsigned>(value);
}

}  // namespace

CLI::Option* AddHexOption(CLI::App& app, const std::string& name, std::optional<unsigned>& out, unsigned max,
                          const std::string& help) {
  char limit[16];
  std::snprintf(limit, sizeof limit, "%X", max);
  return app
      .add_option_function<std::string>(
          name,
          [&out, max, name, limit = std::string(limit)](const std::string& text) {
            const auto value = ParseHex(text, max);
            if (!value)
              throw CLI::ValidationError(name, "\"" + text + "\" is not a hexadecimal number from 0 to " + limit);
            out = *value;
          },
          help)
      ->type_name("HEX");
}

void AddFileOperand(CLI::App& command, Arguments& args, const std::string& what, bool output) {
  command.add_option_function<std::string>(
             "FILE",
             [&args, output](const std::string& file) {
               args.file = file;
               args.fileIsOutput = output;
             },
             what)
      ->required();
}

void AddStartOptions(CLI::App& command, Arguments& args) {
  auto* sector = command
                     .add_option_function<int>(
                         "--sector", [&args](int entry) { args.sector = entry; },
                         "entry of the \"Starting Sector\" list: block 0's sectors, then block 1's (default 0)")
                     ->type_name("ENTRY")
                     ->check(CLI::Range(0, kMaxListEntry));
  auto* address = AddHexOption(command, "--address", args.address, 0xFFFF, "the start address instead of --sector");
  auto* block = command
                    .add_option_function<int>(
                        "--block", [&args](int b) { args.block = b; },
                        "with --address: the block it lies in, where both blocks start at 0000h")
                    ->type_name("0|1")
                    ->check(CLI::Range(0, 1));
  sector->excludes(address);
  block->needs(address);
}

void AddRangeOption(CLI::App& command, Arguments& args) {
  command
      .add_option_function<int>(
          "--range", [&args](int n) { args.range = n; }, "number of sectors (0 or absent: all sectors of the block)")
      ->type_name("N")
      ->check(CLI::Range(0, kMaxListEntry));
}

}  // namespace brisko::cli
