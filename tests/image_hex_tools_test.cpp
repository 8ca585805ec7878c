// HEX files written by tools outside this project, converted byte-exact.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "image/hex_file_name.hpp"
#include "image/image_file.hpp"
#include "link/result_codes.hpp"
#include "support/result_print.hpp"
#include "support/recording_sink.hpp"
#include "support/temp_dir.hpp"

namespace brisko {
namespace {

using Bytes = std::string;

Bytes RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 generator(seed);
  Bytes bytes(n, '\0');
  for (auto& b : bytes) b = static_cast<char>(generator() & 0xFF);
  return bytes;
}

// The pieces at their offsets, FFh between them.
Bytes Expected(const std::vector<std::pair<std::size_t, Bytes>>& pieces) {
  Bytes image;
  for (const auto& [offset, bytes] : pieces) {
    if (image.size() < offset + bytes.size()) image.resize(offset + bytes.size(), '\xFF');
    std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<long>(offset));
  }
  return image;
}

// Compares without dumping whole images: sizes and the first difference.
::testing::AssertionResult SameImage(const Bytes& actual, const Bytes& expected) {
  const auto diff = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
  if (diff.first == actual.end() && diff.second == expected.end()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "size " << actual.size() << " (expected " << expected.size()
                                       << "), first difference at " << (diff.first - actual.begin());
}

class ToolMadeHex : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"/usr/bin/srec_cat", "/usr/bin/objcopy"})
      if (!std::filesystem::exists(tool)) GTEST_SKIP() << tool << " (packages srecord, binutils) is not installed";
  }
  // Runs a tool from /usr/bin with {a}, {b}, {c} and {out} replaced by the input files and the HEX file.
  void Run(std::string command) {
    command = "/usr/bin/" + command;
    const std::vector<std::pair<std::string, std::string>> names{
        {"{out}", Hex()}, {"{a}", In("a.bin", a)}, {"{b}", In("b.bin", b)}, {"{c}", In("c.bin", c)}};
    for (const auto& [name, path] : names)
      for (std::size_t at; (at = command.find(name)) != std::string::npos;) command.replace(at, name.size(), path);
    ASSERT_EQ(std::system((command + " 2>" + dir.File("tool.err")).c_str()), 0)
        << command << "\n" << test::ReadFile(dir.File("tool.err"));
  }
  std::string Hex() const { return dir.File("tool.ihx"); }
  std::string In(const std::string& name, const Bytes& bytes) const {
    test::WriteFile(dir.File(name), bytes);
    return dir.File(name);
  }
  // The converted image, or "<failed>" with the message kept.
  Bytes Convert(const std::string& hex) {
    ImageFile image;
    if (image.Open(hex, sink) != Result::Ok) return "<failed>";
    Bytes bytes(static_cast<std::size_t>(image.Length()), '\0');
    image.Read(0, reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size());
    return bytes;
  }

  test::TempDir dir;
  test::RecordingSink sink;
  const Bytes a = RandomBytes(3001, 1), b = RandomBytes(129, 2), c = RandomBytes(40000, 3);
};

// "<failed>": data in two 64 KB windows is refused rather than folded.
TEST_F(ToolMadeHex, OffsetsRecordLengthsGapsFillsAndFarWindows) {
  const Bytes refused = "<failed>";
  struct Case {
    std::string command;
    Bytes expected;
  } cases[] = {
      {"srec_cat {a} -binary -offset 0x100 -o {out} -intel -line-length=44", Expected({{0x100, a}})},
      {"srec_cat {a} -binary -o {out} -intel -output_block_size=7", a},
      {"srec_cat {a} -binary -offset 0x7F3 -o {out} -intel -output_block_size=255", Expected({{0x7F3, a}})},
      {"srec_cat {a} -binary -offset 0xF000 -o {out} -intel -address-length=4 -output_block_size=32",
       Expected({{0xF000, a}})},
      {"srec_cat {a} -binary -offset 0x20 {b} -binary -offset 0x3001 -o {out} -intel", Expected({{0x20, a}, {0x3001, b}})},
      {"srec_cat '(' {a} -binary -offset 0x20 {b} -binary -offset 0x3001 ')' -fill 0x5A 0 0x3400 -o {out} -intel",
       Expected({{0, Bytes(0x3400, '\x5A')}, {0x20, a}, {0x3001, b}})},
      // Far windows keep the 16-bit offsets inside them.
      {"srec_cat {a} -binary -offset 0x1A000 -o {out} -intel -address-length=4", Expected({{0xA000, a}})},
      {"objcopy -I binary -O ihex {c} {out}", c},
      {"objcopy -I binary -O ihex --change-addresses 0x20010 {c} {out}", Expected({{0x10, c}})},
      {"srec_cat {a} -binary -offset 0xF800 -o {out} -intel -address-length=4", refused},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    sink.messages.clear();
    Run(c.command);
    EXPECT_TRUE(SameImage(Convert(Hex()), c.expected));
    ASSERT_EQ(sink.messages.size(), c.expected == refused ? 1u : 0u);
    if (c.expected == refused) {
      EXPECT_NE(sink.messages[0].find("\"tool.ihx\" has data in more than one 64 KB window"), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace brisko
