#include "link/record_file.h"

#include <gtest/gtest.h>

#include <string>

#include "fakes/fake_files.h"

namespace scalecheck {
namespace {

TEST(RecordFile, RecordsWaitInOrderUntilTheFileCanBeWritten) {
  testing::FakeFiles files;
  RecordFile file(files, "log");
  files.unwritable.insert("log");
  EXPECT_FALSE(file.append("a\n", 2));
  EXPECT_FALSE(file.append("b\n", 2));
  EXPECT_FALSE(file.flush());
  EXPECT_EQ(file.pendingCount(), 2U);
  files.unwritable.clear();
  EXPECT_TRUE(file.append("c\n", 2));
  EXPECT_EQ(files.contents["log"], "a\r\nb\r\nc\r\n");
  EXPECT_EQ(file.unwrittenCount(), 0U);
}

TEST(RecordFile, BeyondItsMemoryRecordsAreCountedAsLostButNeverWhenTheyCouldBeWritten) {
  testing::FakeFiles files;
  RecordFile file(files, "log");
  files.unwritable.insert("log");
  for (std::size_t i = 0; i < RecordFile::kMaxPending + 3; ++i) file.append("r", 1);
  EXPECT_EQ(file.pendingCount(), RecordFile::kMaxPending);
  EXPECT_EQ(file.droppedCount(), 3U);
  EXPECT_EQ(file.unwrittenCount(), RecordFile::kMaxPending + 3);
  // The file opens again just as the memory is full: the new record is
  // written after all that waited, not dropped.
  files.unwritable.clear();
  EXPECT_TRUE(file.append("s", 1));
  EXPECT_EQ(files.contents["log"], std::string(RecordFile::kMaxPending, 'r') + "s");
  EXPECT_EQ(file.droppedCount(), 3U);
}

}  // namespace
}  // namespace scalecheck
