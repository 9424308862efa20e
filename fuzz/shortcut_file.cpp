// Shortcut files: any bytes as a ".lnk" file. A target read from them is
// UTF-8 with "/" for every backslash; resolving the file on disk gives the
// same target, or leaves the path as it was.
#include "platform/shortcut_file.h"

#include <optional>
#include <string>

#include "foundation/text_encoding.h"
#include "fuzz_support.h"

using namespace vestan;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes = fuzz::AsText(data, size);
  const std::optional<std::string> target = ReadShortcutTarget(bytes);
  if (target) {
    FUZZ_CHECK(!target->empty());
    FUZZ_CHECK(IsValidUtf8(*target));
    FUZZ_CHECK(target->find('\\') == std::string::npos);
  }
  const std::string file = fuzz::WriteScratchFile("input.lnk", bytes);
  std::string path = file;
  const bool resolved = ResolveShortcut(path);
  FUZZ_CHECK(resolved == target.has_value());
  FUZZ_CHECK(resolved ? path == *target : path == file);
  return 0;
}
