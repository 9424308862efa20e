#include "platform/file_open.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "foundation/path_text.h"
#include "platform/host.h"

namespace vestan {

namespace fs = std::filesystem;

namespace {

std::string ErrorText(const char* what, int error) {
  return std::string(what) + ": " + std::strerror(error);
}

// The file a write to path really replaces: the end of a chain of links.
std::string WriteTarget(const std::string& native) {
  std::error_code ec;
  if (!fs::is_symlink(native, ec)) return native;
  const fs::path target = fs::weakly_canonical(native, ec);
  return ec ? native : target.string();
}

bool WriteAll(int fd, std::string_view content) {
  size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

FileStream OpenFileStream(std::string_view name, const char* mode) {
  if (name.empty() || mode == nullptr) return FileStream();
  return FileStream(std::fopen(ToNativePath(name).c_str(), mode));
}

FileStream OpenOutputFile(bool append, std::string_view path, std::string_view folder,
                          Host* warnHost, int32_t englishMode) {
  const char* mode = append ? "a" : "w";
  errno = 0;
  FileStream stream = OpenFileStream(path, mode);
  if (!stream && errno == ENOENT && !folder.empty()) {
    std::error_code ec;
    fs::create_directory(ToNativePath(folder), ec);  // one level only
    stream = OpenFileStream(path, mode);
  }
  if (!stream && warnHost != nullptr) {
    HostMessage message;
    message.Caption = std::string(path);
    message.Text = englishMode != 0 ? "Write protect" : "書き込み保護されています";
    message.Icon = MessageIcon::kWarning;
    message.Topmost = true;
    warnHost->ShowMessage(message);
  }
  return stream;
}

std::optional<std::string> ReadFileBytes(std::string_view path) {
  if (!CanOpenForReading(path)) return std::nullopt;
  FileStream stream = OpenFileStream(path, "rb");
  if (!stream) return std::nullopt;
  std::string content;
  char buffer[65536];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof(buffer), stream.get())) > 0) content.append(buffer, n);
  if (std::ferror(stream.get())) return std::nullopt;
  return content;
}

bool CanOpenForReading(std::string_view path) {
  std::error_code ec;
  // Only regular files: a folder cannot be read and a pipe or device would block.
  if (path.empty() || !fs::is_regular_file(ToNativePath(path), ec)) return false;
  return static_cast<bool>(OpenFileStream(path, "r"));
}

int32_t ReplaceFileContents(std::string_view path, std::string_view content, std::string* error) {
  ReplacementFile file;
  if (const int32_t opened = file.Open(path, error); opened != kFileReplaced) return opened;
  file.Write(content);
  return file.Commit(error);
}

ReplacementFile::~ReplacementFile() { Discard(); }

void ReplacementFile::Discard() {
  if (fd_ < 0) return;
  ::close(fd_);
  ::unlink(temp_.c_str());
  fd_ = -1;
}

int32_t ReplacementFile::Open(std::string_view path, std::string* error, ReplacementSync sync) {
  static std::atomic<unsigned> counter{0};
  Discard();
  failure_ = 0;
  sync_ = sync;
  target_ = WriteTarget(ToNativePath(path));
  struct stat old {};
  existed_ = ::stat(target_.c_str(), &old) == 0;
  mode_ = static_cast<uint32_t>(old.st_mode & 07777);
  // A write-protected file stays as it is, as it would for any other program
  // (the rename beside it would otherwise replace it, even for root).
  if (existed_ && (old.st_mode & S_IWUSR) == 0) {
    if (error != nullptr) *error = "the file is write-protected";
    return kFileNotWritten;
  }
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    temp_ = target_ + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(counter++);
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    if (error != nullptr)
      *error = ErrorText("cannot create a temporary file beside the file", errno);
    return kFileTempNotCreated;
  }
  return kFileReplaced;
}

bool ReplacementFile::Write(std::string_view bytes) {
  if (fd_ < 0 || failure_ != 0) return false;
  if (!WriteAll(fd_, bytes)) failure_ = errno != 0 ? errno : EIO;
  return failure_ == 0;
}

bool ReplacementFile::WriteAt(uint64_t offset, std::string_view bytes) {
  if (fd_ < 0 || failure_ != 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n =
        ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failure_ = n < 0 ? errno : EIO;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

int32_t ReplacementFile::Commit(std::string* error) {
  if (fd_ < 0) {
    if (error != nullptr) *error = "the file was not opened";
    return kFileNotWritten;
  }
  int failure = failure_;
  if (failure == 0 && existed_ && ::fchmod(fd_, mode_) != 0) failure = errno;
  if (failure == 0 && sync_ == ReplacementSync::kBeforeRename && ::fsync(fd_) != 0) failure = errno;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && failure == 0) failure = errno;
  if (failure != 0) {
    ::unlink(temp_.c_str());
    if (error != nullptr) *error = ErrorText("cannot write the file", failure);
    return kFileNotWritten;
  }
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    failure = errno;
    ::unlink(temp_.c_str());
    if (error != nullptr) *error = ErrorText("cannot replace the file", failure);
    return kFileNotRenamed;
  }
  return kFileReplaced;
}

}  // namespace vestan
