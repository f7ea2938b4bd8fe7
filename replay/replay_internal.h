// Pieces the replay room's files share with each other and its tests.
#pragma once
#include <cstddef>
#include <cstdint>

// CRC-32 (the zlib polynomial) of size bytes.
uint32_t rpl_crc32(const uint8_t *data, size_t size);
