// Colour files, and the colour values of the settings file read from the
// same bytes.
#include <string>

#include "definitions/color_settings.h"
#include "foundation/text_fields.h"
#include "fuzz_support.h"
#include "platform/profile_file.h"

using namespace vestan;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = fuzz::AsText(data, size);
  const std::string path = fuzz::WriteScratchFile("colors.ctc", text);
  ColorSettings colors;
  const ColorSet live = colors.Live;
  FUZZ_CHECK(ReadColorSettings(path, colors) == 1);
  FUZZ_CHECK(colors.Live == live);  // the file stages its colours only

  ColorSettings defined;
  ReadDefineColors(ProfileFile(std::string(text)), defined);
  for (const std::string& line : SplitLines(text)) {
    Colour colour = 0;
    int32_t shown = 0, path = 0;
    ParseSettingsColour(line, colour);
    ParseSettingsFlaggedColour(line, colour, shown, path);
    ParseColorValue(line, colour);
    ParseFlaggedColorValue(line, colour, shown, path);
    FUZZ_CHECK(colour <= 0xFFFFFFu);
  }
  return 0;
}
