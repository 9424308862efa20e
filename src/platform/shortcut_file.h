// Shortcut files (".lnk"), as users bring them from Windows desktops: the
// target's local path read from the file, with "/" between its folders.
// (Symbolic links need nothing: the system follows them when a file opens.)
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vestan {

// Files larger than this are no shortcut.
inline constexpr size_t kMaxShortcutBytes = 1 << 20;

// Replaces path by the local path of the target the shortcut file names
// ("C:\work\A.NC" becomes "C:/work/A.NC"). On any failure (no such file,
// not a shortcut, no local path) the path stays as it was and the result is
// false.
bool ResolveShortcut(std::string& path);

// The target's local path held in a shortcut file's bytes, as UTF-8 with
// its backslashes made "/"; none when the bytes are no shortcut with a local
// path.
std::optional<std::string> ReadShortcutTarget(std::string_view bytes);

}  // namespace vestan
