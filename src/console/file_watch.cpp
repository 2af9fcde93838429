#include "console/file_watch.h"

#include "console/system_text.h"
#include "console/write_text.h"
#include "platform/cp1251.h"

namespace scalecheck::console {
namespace {

using platform::cp1251;
using platform::FailureKind;

constexpr auto kFile = cp1251("\r\nФайл ");
constexpr auto kNotWritten = cp1251(" не записывается");
constexpr auto kNoPermission = cp1251(": нет прав на запись");
constexpr auto kNotRegular = cp1251(": под этим именем папка, канал или устройство, а не файл");
constexpr auto kRecordsWait =
    cp1251(". Его записи ждут в памяти и будут дописаны, когда файл станет доступен.");
constexpr auto kWrittenAgain = cp1251(" снова записывается, ожидавшие записи дописаны.");
constexpr auto kRecordsLost = cp1251("\r\nФайл был недоступен, потеряно записей:");

}  // namespace

std::string whyNotWritten(const platform::OsError& error) {
  switch (error.kind) {
    case FailureKind::kNoPermission:
      return kNoPermission.c_str();
    case FailureKind::kNotRegularFile:
      return kNotRegular.c_str();
    default:
      return osDetail(error);
  }
}

std::string fileUnwritableText(const std::string& name, const platform::OsError& error) {
  return kFile.c_str() + shownName(name) + kNotWritten.c_str() + whyNotWritten(error) +
         kRecordsWait.c_str();
}

std::string fileWritableAgainText(const std::string& name) {
  return kFile.c_str() + shownName(name) + kWrittenAgain.c_str();
}

void FileWatch::watch(RecordFile& file, const std::string& name) {
  files_.push_back(Watched{&file, name, true});
}

std::vector<FileWatch::Change> FileWatch::changes() {
  std::vector<Change> changed;
  for (Watched& watched : files_) {
    const bool writable = watched.file->writable();
    if (writable == watched.writable) continue;
    watched.writable = writable;
    changed.push_back(Change{watched.name, writable, watched.file->lastFailure()});
  }
  return changed;
}

void FileWatch::check(platform::Console& console) {
  std::string text;
  for (const Change& change : changes()) {
    text += change.writable ? fileWritableAgainText(change.name)
                            : fileUnwritableText(change.name, change.why);
  }
  if (text.empty()) return;
  // The readings go on below the lines, not after them.
  writeText(console, text + "\r\n");
}

std::string FileWatch::finish() {
  std::string text;
  for (const Watched& watched : files_) {
    watched.file->flush();
    if (watched.file->unwrittenCount() == 0) continue;
    text += text.empty() ? " " : ", ";
    text += shownName(watched.name) + " - " + std::to_string(watched.file->unwrittenCount());
  }
  return text.empty() ? "" : kRecordsLost.c_str() + text + ".";
}

}  // namespace scalecheck::console
