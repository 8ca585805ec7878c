// HEX files written by tools outside this project, converted byte-exact.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "image/hex_converter.hpp"
#include "support/recording_sink.hpp"
#include "support/temp_dir.hpp"

namespace brisko {
namespace {

using Bytes = std::string;

constexpr const char* kSrecCat = "/usr/bin/srec_cat";
constexpr const char* kObjcopy = "/usr/bin/objcopy";

bool Have(const char* tool) { return std::filesystem::exists(tool); }

Bytes RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 generator(seed);
  std::uniform_int_distribution<int> byte(0, 255);
  Bytes bytes(n, '\0');
  for (auto& b : bytes) b = static_cast<char>(byte(generator));
  return bytes;
}

// What the image must be: the pieces at their offsets, FFh between them.
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
  if (actual == "<failed>") return ::testing::AssertionFailure() << "conversion failed";
  std::size_t n = std::min(actual.size(), expected.size());
  for (std::size_t i = 0; i < n; ++i)
    if (actual[i] != expected[i])
      return ::testing::AssertionFailure() << "first difference at offset " << i;
  if (actual.size() != expected.size())
    return ::testing::AssertionFailure() << "size " << actual.size() << ", expected " << expected.size();
  return ::testing::AssertionSuccess();
}

class ToolMadeHex : public ::testing::Test {
 protected:
  void Run(const std::string& command) {
    ASSERT_EQ(std::system((command + " 2>" + dir.File("tool.err")).c_str()), 0)
        << command << "\n" << test::ReadFile(dir.File("tool.err"));
  }
  std::string Binary(const std::string& name, const Bytes& bytes) {
    std::string path = dir.File(name);
    test::WriteFile(path, bytes);
    return path;
  }
  // Converts and returns the image, or "<failed>" with the message kept.
  Bytes Convert(const std::string& hex) {
    if (ConvertHexToBinary(hex, dir.File("out.bin"), sink) != 1) return "<failed>";
    return test::ReadFile(dir.File("out.bin"));
  }

  test::TempDir dir;
  test::RecordingSink sink;
};

TEST_F(ToolMadeHex, SrecCatOffsetsAndRecordLengths) {
  if (!Have(kSrecCat)) GTEST_SKIP() << "srec_cat (package srecord) is not installed";
  Bytes data = RandomBytes(3001, 1);
  std::string in = Binary("in.bin", data);
  struct Case {
    const char* options;
    std::size_t offset;
  } cases[] = {
      {"-offset 0x100 -o OUT -intel -line-length=44", 0x100},
      {"-offset 0 -o OUT -intel -output_block_size=7", 0},
      {"-offset 0x7F3 -o OUT -intel -output_block_size=255", 0x7F3},
      {"-offset 0xF000 -o OUT -intel -address-length=4 -output_block_size=32", 0xF000},
  };
  for (const auto& c : cases) {
    std::string out = dir.File("case.hex");
    std::string options = c.options;
    options.replace(options.find("OUT"), 3, out);
    Run(std::string(kSrecCat) + " " + in + " -binary " + options);
    EXPECT_TRUE(SameImage(Convert(out), Expected({{c.offset, data}}))) << c.options;
  }
}

TEST_F(ToolMadeHex, SrecCatGapsAndFills) {
  if (!Have(kSrecCat)) GTEST_SKIP() << "srec_cat (package srecord) is not installed";
  Bytes a = RandomBytes(700, 2);
  Bytes b = RandomBytes(129, 3);
  std::string inA = Binary("a.bin", a);
  std::string inB = Binary("b.bin", b);
  std::string out = dir.File("gaps.hex");
  Run(std::string(kSrecCat) + " " + inA + " -binary -offset 0x20 " + inB + " -binary -offset 0x3001 -o " +
      out + " -intel");
  EXPECT_TRUE(SameImage(Convert(out), Expected({{0x20, a}, {0x3001, b}})));

  // Gaps filled with 5Ah by the tool from 0000h to 3400h.
  Run(std::string(kSrecCat) + " '(' " + inA + " -binary -offset 0x20 " + inB +
      " -binary -offset 0x3001 ')' -fill 0x5A 0 0x3400 -o " + out + " -intel -output_block_size=64");
  EXPECT_TRUE(SameImage(Convert(out), Expected({{0, Bytes(0x3400, '\x5A')}, {0x20, a}, {0x3001, b}})));
}

TEST_F(ToolMadeHex, SrecCatRecordsInShuffledOrder) {
  if (!Have(kSrecCat)) GTEST_SKIP() << "srec_cat (package srecord) is not installed";
  Bytes data = RandomBytes(2048, 4);
  std::string out = dir.File("ordered.hex");
  Run(std::string(kSrecCat) + " " + Binary("in.bin", data) +
      " -binary -offset 0x400 -crop 0x400 0x600 0x700 0xC00 -o " + out + " -intel -output_block_size=20");
  Bytes expected = Convert(out);
  ASSERT_NE(expected, "<failed>");

  std::vector<std::string> records;
  std::istringstream lines(test::ReadFile(out));
  std::string end;
  for (std::string line; std::getline(lines, line);)
    (line.rfind(":00000001", 0) == 0 ? end : records.emplace_back()) = line;
  std::shuffle(records.begin(), records.end(), std::mt19937(5));
  std::string shuffled;
  for (const auto& r : records) shuffled += r + "\r\n";
  test::WriteFile(dir.File("shuffled.hex"), shuffled + end + "\r\n");
  EXPECT_TRUE(SameImage(Convert(dir.File("shuffled.hex")), expected));
  EXPECT_TRUE(SameImage(expected, Expected({{0x400, data.substr(0, 0x200)}, {0x700, data.substr(0x300, 0x500)}})));
}

TEST_F(ToolMadeHex, SrecCatHighWindowKeepsSixteenBitOffsets) {
  if (!Have(kSrecCat)) GTEST_SKIP() << "srec_cat (package srecord) is not installed";
  Bytes data = RandomBytes(5000, 6);
  std::string out = dir.File("high.hex");
  Run(std::string(kSrecCat) + " " + Binary("in.bin", data) + " -binary -offset 0x1A000 -o " + out +
      " -intel -address-length=4");
  EXPECT_TRUE(SameImage(Convert(out), Expected({{0xA000, data}})));
}

TEST_F(ToolMadeHex, SrecCatDataAcrossWindowsIsRefused) {
  if (!Have(kSrecCat)) GTEST_SKIP() << "srec_cat (package srecord) is not installed";
  test::WriteFile(dir.File("out.bin"), "old");
  std::string out = dir.File("across.hex");
  Run(std::string(kSrecCat) + " " + Binary("in.bin", RandomBytes(0x2000, 7)) + " -binary -offset 0xF000 -o " +
      out + " -intel -address-length=4");
  EXPECT_TRUE(Convert(out) == "<failed>");
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_NE(sink.messages[0].find("\"across.hex\" has data in more than one 64 KB window"), std::string::npos);
  EXPECT_EQ(test::ReadFile(dir.File("out.bin")), "old");
}

TEST_F(ToolMadeHex, ObjcopyPlainAndRelocated) {
  if (!Have(kObjcopy)) GTEST_SKIP() << "objcopy (package binutils) is not installed";
  Bytes data = RandomBytes(40000, 8);
  std::string in = Binary("in.bin", data);
  std::string out = dir.File("objcopy.ihx");
  Run(std::string(kObjcopy) + " -I binary -O ihex " + in + " " + out);
  EXPECT_TRUE(SameImage(Convert(out), data));

  // Moved to 2_0000h: objcopy writes a segment record, the data keep their
  // offsets inside that window.
  Run(std::string(kObjcopy) + " -I binary -O ihex --change-addresses 0x20010 " + in + " " + out);
  EXPECT_TRUE(SameImage(Convert(out), Expected({{0x10, data}})));
}

TEST_F(ToolMadeHex, ObjcopyFileLargerThanOneWindowIsRefused) {
  if (!Have(kObjcopy)) GTEST_SKIP() << "objcopy (package binutils) is not installed";
  std::string out = dir.File("big.hex");
  Run(std::string(kObjcopy) + " -I binary -O ihex " + Binary("big.bin", RandomBytes(70000, 9)) + " " + out);
  EXPECT_TRUE(Convert(out) == "<failed>");
  EXPECT_EQ(sink.messages.size(), 1u);
}

}  // namespace
}  // namespace brisko
