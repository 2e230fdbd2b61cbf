#pragma once
// Reading little-endian integers from file bytes; callers check the bounds first.

#include <cstdint>

inline uint16_t LoadU16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline int16_t LoadI16(const uint8_t* p) { return int16_t(LoadU16(p)); }
inline uint32_t LoadU32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline int32_t LoadI32(const uint8_t* p) { return int32_t(LoadU32(p)); }
