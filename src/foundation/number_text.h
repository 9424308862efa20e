// Numbers written as text the same way whatever locale the process runs in
// (a GUI toolkit may switch LC_NUMERIC to a decimal comma).
#pragma once

#include <string>

namespace vestan {

// Appends value as printf's "%.<digits>f" of the C locale.
void AppendFixed(std::string& text, double value, int digits = 6);

}  // namespace vestan
