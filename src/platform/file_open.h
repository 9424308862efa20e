// Opening the program's files: one routine for every data file, output files
// in a folder that may not exist yet, whole-file reads, and replacing a file
// so that a failed write never destroys the previous one.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vestan {

class Host;

struct FileCloser {
  void operator()(std::FILE* file) const {
    if (file != nullptr) std::fclose(file);
  }
};
// An open C stdio stream, closed when it goes.
using FileStream = std::unique_ptr<std::FILE, FileCloser>;

// Opens name with a C stdio mode ("r", "w", "a", "rb", "wb+" ...); empty when
// it cannot be opened. Reports nothing. "\" in the name separates folders.
FileStream OpenFileStream(std::string_view name, const char* mode);

// Opens a report or output file for writing ("a" when append, else "w").
// When the path's folder is missing and folder is not empty, creates that one
// folder level and tries once more. On failure, when warnHost is given,
// shows "Write protect" (Japanese unless englishMode) with the path as
// caption. Returns the stream or empty.
FileStream OpenOutputFile(bool append, std::string_view path, std::string_view folder,
                          Host* warnHost, int32_t englishMode);

// The whole file, or nothing when it cannot be opened or read.
std::optional<std::string> ReadFileBytes(std::string_view path);

// True when path names a readable file (not a folder).
bool CanOpenForReading(std::string_view path);

inline constexpr int32_t kFileReplaced = 1;
inline constexpr int32_t kFileTempNotCreated = -1;
inline constexpr int32_t kFileNotWritten = -2;
inline constexpr int32_t kFileNotRenamed = -3;

// Writes content to a temporary file beside path and renames it into place,
// keeping the old file's permissions (a symbolic link keeps pointing at the
// replaced file). On failure the old file is untouched, the temporary file
// removed, a negative code returned and, when error is given, the reason
// stored there.
int32_t ReplaceFileContents(std::string_view path, std::string_view content,
                            std::string* error = nullptr);

// Whether a replacement reaches the disk before it takes the old file's
// place: a user's file does; a working copy that is read back at once and
// removed (a decompressed model) need not wait for the disk.
enum class ReplacementSync { kBeforeRename, kNone };

// The same, for content written piece by piece: the pieces go to a temporary
// file beside path, and Commit puts it in place. Without a Commit (or when a
// write failed) the temporary file is removed and the old file stays as it
// was.
class FileReplacement {
 public:
  explicit FileReplacement(std::string_view path,
                           ReplacementSync sync = ReplacementSync::kBeforeRename);
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // kFileReplaced when the temporary file was made, else the code
  // ReplaceFileContents would give (kFileTempNotCreated, or kFileNotWritten
  // for a write-protected file), with the reason in Error().
  int32_t Status() const { return status_; }
  const std::string& Error() const { return error_; }
  // False once any write failed; later writes are then not attempted.
  bool Write(std::string_view bytes);
  // Syncs, closes and renames: kFileReplaced, or a negative code with the
  // reason in error when given.
  int32_t Commit(std::string* error = nullptr);

 private:
  int32_t Fail(int32_t code, std::string reason);

  std::string target_;
  std::string temp_;
  ReplacementSync sync_;
  int fd_ = -1;
  bool existed_ = false;
  uint32_t mode_ = 0;
  int32_t status_ = 0;
  int writeError_ = 0;
  std::string error_;
};

}  // namespace vestan
