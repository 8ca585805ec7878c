#include <gtest/gtest.h>

#include <sys/stat.h>

#include "shell/recovery_file.hpp"
#include "support/temp_dir.hpp"

namespace brisko {
namespace {

SavedAreas Numbered() {
  SavedAreas saved;
  for (std::size_t i = 0; i < saved.savedSector0.size(); ++i) saved.savedSector0[i] = static_cast<std::uint8_t>(i);
  for (std::size_t i = 0; i < saved.savedArea2000.size(); ++i)
    saved.savedArea2000[i] = static_cast<std::uint8_t>(0xFF - i);
  return saved;
}

TEST(RecoveryFile, HoldsSector0ThenArea2000AndIsPrivate) {
  test::TempDir dir;
  const SavedAreas saved = Numbered();
  const std::string path = WriteBlock0RecoveryFile(dir.Path(), saved, 0);
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.rfind(dir.Path() + "/block0-recovery-", 0), 0u);
  EXPECT_EQ(path.substr(path.size() - 4), ".bin");

  const std::string bytes = test::ReadFile(path);
  ASSERT_EQ(bytes.size(), kRecoveryFileSize);
  EXPECT_EQ(static_cast<std::uint8_t>(bytes[5]), 5);
  EXPECT_EQ(static_cast<std::uint8_t>(bytes[128]), 0xFF);
  EXPECT_EQ(static_cast<std::uint8_t>(bytes[511]), static_cast<std::uint8_t>(0xFF - 383));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_TRUE(RemoveBlock0RecoveryFile(path));
  EXPECT_FALSE(RemoveBlock0RecoveryFile(path));
}

TEST(RecoveryFile, NeverOverwritesAnEarlierOne) {
  test::TempDir dir;
  const std::string first = WriteBlock0RecoveryFile(dir.Path(), Numbered(), 1000);
  const std::string second = WriteBlock0RecoveryFile(dir.Path(), SavedAreas{}, 1000);
  ASSERT_FALSE(first.empty());
  ASSERT_FALSE(second.empty());
  EXPECT_NE(first, second);
  EXPECT_EQ(static_cast<std::uint8_t>(test::ReadFile(first)[5]), 5);
  EXPECT_EQ(test::ReadFile(second), std::string(kRecoveryFileSize, '\0'));
}

TEST(RecoveryFile, FailsWhereItCannotWrite) {
  test::TempDir dir;
  EXPECT_EQ(WriteBlock0RecoveryFile(dir.File("missing"), Numbered(), 0), "");
  EXPECT_EQ(WriteBlock0RecoveryFile("", Numbered(), 0), "");
}

}  // namespace
}  // namespace brisko
