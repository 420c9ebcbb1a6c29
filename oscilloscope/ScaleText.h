#pragma once

#include <string>
#include <string_view>

namespace tarvo {

// The scale of a channel (display units per grid division) as the view shows it: "%ce%d",
// the first significant digit and the decimal exponent, so 0.05 is "5e-2" and 200 "2e2".
// Scales run through 1, 2, 5 times a power of ten.
namespace ScaleText {

constexpr double kSmallest = 1e-6;

std::string Format(double scale);
// From the first character ("1", "2" or "5") and the integer after the second; any other
// first character, or a text shorter than 3 characters, gives 1e-6.
double Parse(std::string_view text);

// One press of the scale spin button: up 1eK -> 2eK -> 5eK -> 1e(K+1), down the reverse.
// Down does nothing on "1e-6". `scale` is multiplied in step; false when nothing changed.
bool Step(std::string& text, double& scale, bool up);

// The auto scale for a range r (display units per division): rounded up by its first
// significant digit d at place 10^k: d = 1 gives 2 x 10^k, 2..4 gives 5 x 10^k, 5..9
// gives 10^(k+1). At most six places after the point count; smaller gives 1e-6.
double RoundUp125(double r);
// The smallest scale of the 1, 2, 5 sequence that is not below r (1e-6 at the least).
double AtLeast125(double r);

}  // namespace ScaleText

}  // namespace tarvo
