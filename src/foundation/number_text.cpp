#include "foundation/number_text.h"

#include <charconv>

namespace vestan {

void AppendFixed(std::string& text, double value, int digits) {
  // Room for the longest fixed form of a double (about 310 digits) and more.
  char buffer[400];
  const std::to_chars_result r =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, digits);
  text.append(buffer, r.ec == std::errc() ? r.ptr : buffer);
}

}  // namespace vestan
