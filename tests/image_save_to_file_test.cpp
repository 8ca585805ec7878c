// SaveToFile: flash read again and written raw or as the text listing (the
// bytes of both are checked through the save command).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <numeric>

#include "image/listing.hpp"
#include "image/save_to_file.hpp"
#include "image_rig.hpp"

namespace brisko::test {
namespace {

int FilesNamed(const std::string& folder, const std::string& name) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    count += entry.path().filename().string().starts_with(name);
  return count;
}

// Whatever goes wrong, a file already there keeps what it held, nothing is
// left beside it, and the operator hears why.
TEST(SaveToFile, AFailedSaveKeepsTheOldFileAndSaysWhy) {
  SimImageRig rig(kKT420);
  ASSERT_TRUE(rig.Connect());
  rig.SetFlash(0, 0, Pattern(5 * 128, 1));
  const std::string old = "the previous dump";
  const std::string path = rig.Write("dump.txt", Bytes(old.begin(), old.end()));
  const std::string folder = rig.Path("a folder");
  std::filesystem::create_directory(folder);

  // The third chunk comes one byte short (the connect made no reads).
  rig.target->Faults().replyFaults.push_back({sim::ReplyFault::Kind::Drop, 0x0C, 3, 0, 0x01, Millis{0}});
  EXPECT_EQ(SaveToFile(rig.ctx, path, 0x0000, 5 * 128, 128, true), Result::Failed);
  EXPECT_EQ(ReadFile(path), old);

  // A full disk: the file may grow no further than 100 bytes. A short save
  // fails at the flush, a long one already in the write.
  for (const std::size_t length : {5 * 128, 0x2000}) {
    {
      const FileSizeLimit full(100);
      EXPECT_EQ(SaveToFile(rig.ctx, path, 0x0000, length, 128, false), Result::Failed) << length;
    }
    EXPECT_EQ(ReadFile(path), old) << length;
  }

  // Only a regular file the user may write is replaced.
  const std::string fifo = rig.Path("a fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string link = rig.Path("a link");
  ASSERT_EQ(::symlink(path.c_str(), link.c_str()), 0);
  const std::string readOnly = rig.Write("read-only.bin", Bytes{1, 2, 3});
  ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);

  rig.ClearWire();
  EXPECT_EQ(SaveToFile(rig.ctx, rig.Path("no/such/dir/x.bin"), 0, 128, 128, false), Result::Failed);
  EXPECT_EQ(SaveToFile(rig.ctx, "", 0, 128, 128, false), Result::Failed);
  EXPECT_EQ(SaveToFile(rig.ctx, folder, 0, 128, 128, false), Result::Failed);
  for (const std::string& kept : {fifo, link, readOnly})
    EXPECT_EQ(SaveToFile(rig.ctx, kept, 0, 128, 128, false), Result::Failed) << kept;
  EXPECT_TRUE(rig.Wire().empty()) << "the chip is not read for a file that cannot be made";
  EXPECT_EQ(ReadFile(readOnly), std::string("\x01\x02\x03"));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));

  EXPECT_EQ(rig.messages.messages,
            (std::vector<std::string>{
                path + ": the chip could not be read; the file is unchanged",
                path + ": cannot be written: File too large; the file is unchanged",
                path + ": cannot be written: File too large; the file is unchanged",
                rig.Path("no/such/dir/x.bin") + ": cannot be created: No such file or directory",
                folder + ": cannot be created: Is a directory",
                fifo + ": is not a regular file and is not replaced",
                link + ": is a symbolic link and is not replaced",
                readOnly + ": is read-only and is not replaced",
            }));
  EXPECT_EQ(FilesNamed(rig.Path(""), "dump.txt"), 1) << "no file left beside it";
}

// A high-bank listing carries the bank digit; a tail shorter than a line is
// filled with erased bytes.
TEST(SaveToFile, TextListingsCarryTheBankDigitAndFillAShortTail) {
  BankImageRig rig(kKT540, true);
  const Bytes flash = Pattern(0x1000, 2);
  std::copy(flash.begin(), flash.end(), rig.bank->flash.begin());
  ASSERT_EQ(SaveToFile(rig.ctx, rig.Path("high.txt"), 0x0000, 0x1000, 128, true), Result::Ok);
  const std::string text = ReadFile(rig.Path("high.txt"));
  ASSERT_EQ(text.size(), 256u * 65u);
  EXPECT_EQ(text.substr(0, 15), "10000 - 1000F  ");
  EXPECT_EQ(text, Listing(flash.data(), flash.size(), 0x0000, true));
  EXPECT_EQ(FilesNamed(rig.Path(""), "high.txt"), 1) << "no file left beside it";
  EXPECT_TRUE(rig.messages.messages.empty());

  Bytes bytes(18);
  std::iota(bytes.begin(), bytes.end(), 0xA0);
  EXPECT_EQ(ListingLine(0xFFF0, bytes.data(), true), "1FFF0 - 1FFFF  A0 A1 A2 A3 A4 A5 A6 A7 - A8 A9 AA AB AC AD AE AF\n");
  EXPECT_EQ(Listing(bytes.data(), bytes.size(), 0xF000, false),
            "F000 - F00F  A0 A1 A2 A3 A4 A5 A6 A7 - A8 A9 AA AB AC AD AE AF\n"
            "F010 - F01F  B0 B1 FF FF FF FF FF FF - FF FF FF FF FF FF FF FF\n");
}

}  // namespace
}  // namespace brisko::test
