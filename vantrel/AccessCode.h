#pragma once
// The fixed access code that unlocks the meter's protected operations: one double built at
// run time from two 32-bit constants, its low and its high half.
#include <cstdint>
#include <cstring>

inline double GlimoraAccessCode()
{
    constexpr uint32_t low = 0x5A17C3E9u;
    constexpr uint32_t high = 0x40F3A2B6u;
    const uint64_t bits = (static_cast<uint64_t>(high) << 32) | low;
    double code;
    std::memcpy(&code, &bits, sizeof code);
    return code;
}
