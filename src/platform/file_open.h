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

// A file too large to build in memory, written piece by piece into a
// temporary file beside its target and renamed into place by Commit, as
// ReplaceFileContents does in one go. The target is untouched until then; the
// temporary file is removed when the object goes without a successful Commit.
class ReplacementFile {
 public:
  ReplacementFile() = default;
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  // Creates the temporary file: kFileReplaced when it is open, else
  // kFileTempNotCreated, or kFileNotWritten for a write-protected target.
  int32_t Open(std::string_view path, std::string* error = nullptr,
               ReplacementSync sync = ReplacementSync::kBeforeRename);
  // Appends bytes. False once any write has failed; later writes do nothing
  // and Commit reports the failure.
  bool Write(std::string_view bytes);
  // Overwrites bytes already written, from offset on.
  bool WriteAt(uint64_t offset, std::string_view bytes);
  // Flushes the file to disk, gives it the old file's permissions and renames
  // it into place: kFileReplaced, or kFileNotWritten / kFileNotRenamed with
  // the temporary file removed.
  int32_t Commit(std::string* error = nullptr);
  bool IsOpen() const { return fd_ >= 0; }

 private:
  void Discard();

  int fd_ = -1;
  std::string temp_;
  std::string target_;
  bool existed_ = false;
  uint32_t mode_ = 0;
  int failure_ = 0;  // errno of the first failed write
  ReplacementSync sync_ = ReplacementSync::kBeforeRename;
};

}  // namespace vestan
