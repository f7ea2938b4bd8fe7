// Little-endian fields of the wire formats: the match's messages and the room server's.
#pragma once
#include <cstdint>

inline void net_put16(uint8_t *p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void net_put32(uint8_t *p, uint32_t v) {
    for (int32_t i = 0; i < 4; i++) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void net_put64(uint8_t *p, uint64_t v) {
    for (int32_t i = 0; i < 8; i++) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint16_t net_get16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t net_get32(const uint8_t *p) {
    uint32_t v = 0;
    for (int32_t i = 0; i < 4; i++) v |= static_cast<uint32_t>(p[i]) << (8 * i);
    return v;
}
inline uint64_t net_get64(const uint8_t *p) {
    uint64_t v = 0;
    for (int32_t i = 0; i < 8; i++) v |= static_cast<uint64_t>(p[i]) << (8 * i);
    return v;
}
