#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/services.h"

namespace scalecheck::platform {
namespace {

// A fresh folder for one test, removed with its contents at the end.
class TempFolder {
 public:
  TempFolder() {
    static int count = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("scalecheck_files_" + std::to_string(GetCurrentProcessId()) + "_" +
             std::to_string(++count));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string file(const char* name) const { return (path_ / name).string(); }

  std::string read(const char* name) const {
    std::ifstream in(file(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::filesystem::path path_;
};

// The same bytes as on POSIX: each LF as CR LF, a Ctrl+Z kept, whether it
// ends what is there already or stands in a record.
TEST(WinFiles, StoresEachLfAsCrLfAndKeepsEveryOtherByte) {
  const TempFolder folder;
  const std::string path = folder.file("#DeviceIO");
  std::ofstream(path, std::ios::binary) << "old\x1a";
  OsError error;
  EXPECT_TRUE(systemFiles().appendText(path.c_str(), "x\n", 2, error));
  EXPECT_TRUE(systemFiles().appendText(path.c_str(), "\x1a;\r\n\n", 5, error));
  EXPECT_FALSE(error.failed());
  EXPECT_EQ(folder.read("#DeviceIO"), "old\x1ax\r\n\x1a;\r\r\n\r\n");
}

TEST(WinFiles, AFolderAtTheNameIsRefused) {
  const TempFolder folder;
  const std::string path = folder.file("#Log.csv");
  std::filesystem::create_directory(path);
  OsError error;
  EXPECT_FALSE(systemFiles().appendText(path.c_str(), "r\n", 2, error));
  EXPECT_EQ(error.kind, FailureKind::kNotRegularFile);
  EXPECT_TRUE(std::filesystem::is_directory(path));
}

}  // namespace
}  // namespace scalecheck::platform
