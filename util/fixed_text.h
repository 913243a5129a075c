// The fixed-width decimal text every value display of the system uses: the
// VST 2 binding's number-to-text operations and the effect's parameter texts
// and readout. At most 8 characters and a terminator, built in a local buffer
// so that nothing is allocated on the calling thread.
#pragma once

namespace fixedtext {

constexpr int kWidth = 8;
constexpr char kOverflow[] = " Huge!  ";
static_assert(sizeof kOverflow == kWidth + 1);

/// `value` in at most 8 - `used` characters, sign and point included: the
/// integer digits, a point, then as many decimals as fit. Digits are cut,
/// never rounded (0.7f shows 0.699999). Beyond what fits: the overflow text.
/// `text` must hold 9 bytes.
void format(float value, char* text, int used);

/// Copies at most 8 characters of `from` into `text` and terminates it.
void copy(const char* from, char* text);

}  // namespace fixedtext
