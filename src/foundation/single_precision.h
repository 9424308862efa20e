// Rounding a double to single precision so that no optimiser can undo it.
#pragma once

namespace vestan {

// The float nearest value. Every rounding to single precision goes through
// here: g++ 12's vectoriser folds a pair of plain conversions double -> float
// -> double back into the unrounded double, so the float passes an empty asm
// that the compiler must treat as an unknown change of the float.
inline float RoundToSingle(double value) {
  float single = static_cast<float>(value);
#if defined(__GNUC__) && defined(__SSE__)
  __asm__("" : "+x"(single));
#elif defined(__GNUC__)
  __asm__("" : "+m"(single));
#else
  volatile float kept = single;
  single = kept;
#endif
  return single;
}

}  // namespace vestan
