// Paths as the settings and definition files write them: bytes, with "\" or
// "/" between folders. A "\" that is the second byte of a cp932 character
// is part of that character, not a separator.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vestan {

// Index of the last folder separator, or npos.
size_t FindLastPathSeparator(std::string_view path);
// The path names a folder ("dir\name", "/abs/name"), not a bare file name.
bool HasFolderPart(std::string_view path);
bool EndsWithPathSeparator(std::string_view path);
// The path up to and including its last separator; empty when it has none.
std::string FolderPart(std::string_view path);
// The name after the last separator; the whole path when it has none.
std::string FileNamePart(std::string_view path);
// The name alone when the folder is empty; else the folder, a "/" unless the
// folder already ends in a separator, then the name.
std::string JoinPath(std::string_view folder, std::string_view name);
// The path as the operating system takes it: every separator becomes "/".
std::string ToNativePath(std::string_view path);
// A relative path taken from base (a folder); an absolute one unchanged.
std::string PathFrom(std::string_view base, std::string_view path);

}  // namespace vestan
