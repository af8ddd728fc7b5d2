// Stands in for the platform's rectangle record (Left, Top, Right, Bottom); QRect keeps right and bottom inside the rectangle and cannot hold the full 32-bit range its width and height would need.
#pragma once

#include <cstdint>

// Screen coordinates; Right and Bottom are Left + width and Top + height.
struct TRect
{
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    friend bool operator==(const TRect &, const TRect &) = default;
};
