// Pieces the replay room's files share with each other and its tests.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "replay/replay.h"

// CRC-32 (the zlib polynomial) of size bytes.
uint32_t rpl_crc32(const uint8_t *data, size_t size);
// The CRC-32 of the bytes crc was of followed by these (0 for none before).
uint32_t rpl_crc32_more(uint32_t crc, const uint8_t *data, size_t size);
// LEB128 run length and little-endian numbers, as the format writes them.
void rpl_put_count(std::vector<uint8_t> &out, uint32_t v);
void rpl_put32(std::vector<uint8_t> &out, uint32_t v);
// The recording's end onto out: how it ended (unless unsaid), the end tag, the result and the
// CRC of everything, crc_before being that of the bytes written before out.
void rpl_put_end(std::vector<uint8_t> &out, uint8_t ending, uint8_t under_way, const RplResult *result,
                 uint32_t crc_before);
