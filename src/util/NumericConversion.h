#pragma once
// The one float-to-integer conversion of the program: truncation toward zero, and
// INT32_MIN for NaN and values outside the 32-bit range, as the processor's own
// conversion gives (a bare cast of such a value is undefined behaviour in C++).

#include <cstdint>

inline int32_t TruncToInt(float value)
{
    // Written as one range test so that compilers keep it branch-free in loops.
    if (!(value >= -2147483648.0f && value < 2147483648.0f))
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

inline int32_t TruncToInt(double value)
{
    if (!(value > -2147483649.0 && value < 2147483648.0))
        return INT32_MIN;
    return static_cast<int32_t>(value);
}
