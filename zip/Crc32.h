// Crc32: the CRC-32 of the ZIP format (reflected polynomial 0xEDB88320), which the ZIP
// cipher also uses for its key updates.
#pragma once

#include "archive/CrcSlices.h"

#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr CrcSlices<uint32_t> kCrc32Slices = MakeCrcSlices<uint32_t>(0xEDB88320u);

// Continues a running CRC-32 (a member's starts at 0) over size bytes, eight per step.
// An update over no buffer (null) gives 0.
uint32_t Crc32(uint32_t crc, const void* data, size_t size);
