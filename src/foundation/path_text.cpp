#include "foundation/path_text.h"

#include "foundation/text_encoding.h"

namespace vestan {

namespace {

// Calls f(index) for every separator. Text that is not UTF-8 is taken as
// cp932, whose second bytes may be 0x5C.
template <class F>
void ForEachPathSeparator(std::string_view path, F f) {
  const bool cp932 = !IsValidUtf8(path);
  for (size_t i = 0; i < path.size(); ++i) {
    const char c = path[i];
    if (cp932 && IsCp932LeadByte(c)) {
      ++i;
      continue;
    }
    if (c == '/' || c == '\\') f(i);
  }
}

}  // namespace

size_t FindLastPathSeparator(std::string_view path) {
  size_t last = std::string_view::npos;
  ForEachPathSeparator(path, [&last](size_t i) { last = i; });
  return last;
}

bool HasFolderPart(std::string_view path) {
  return FindLastPathSeparator(path) != std::string_view::npos;
}

bool EndsWithPathSeparator(std::string_view path) {
  return !path.empty() && FindLastPathSeparator(path) == path.size() - 1;
}

std::string FolderPart(std::string_view path) {
  const size_t last = FindLastPathSeparator(path);
  return last == std::string_view::npos ? std::string() : std::string(path.substr(0, last + 1));
}

std::string FileNamePart(std::string_view path) {
  const size_t last = FindLastPathSeparator(path);
  return std::string(last == std::string_view::npos ? path : path.substr(last + 1));
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  std::string joined(folder);
  if (!EndsWithPathSeparator(folder)) joined.push_back('/');
  joined.append(name);
  return joined;
}

std::string ToNativePath(std::string_view path) {
  std::string native(path);
  ForEachPathSeparator(path, [&native](size_t i) { native[i] = '/'; });
  return native;
}

std::string PathFrom(std::string_view base, std::string_view path) {
  if (!path.empty() && (path.front() == '/' || path.front() == '\\')) return std::string(path);
  return JoinPath(base, path);
}

}  // namespace vestan
