// WriteHeader: a CArchiveEntry as an LZH member header of level 0, 1 or 2, laid out as
// ReadHeader reads it.
#pragma once

#include "lzh/ArchiveEntry.h"
#include "platform/File.h"

#include <cstdint>

// Writes the header at the file's position with one write and returns its size; with
// sizeOnly, writes nothing and returns the size the real call will write (it depends on the
// name, folder, attributes and level only). 0 for a level other than 0-2, a name or folder
// that cannot be encoded, a level 0 path over 233 bytes (it would be cut), or a short write.
uint32_t WriteHeader(platform::FileHandle file, const CArchiveEntry& entry, bool sizeOnly);

// The header bytes WriteHeader writes, into buffer (kMaxHeaderBytes); returns their count or 0.
uint32_t BuildHeader(const CArchiveEntry& entry, uint8_t* buffer);

constexpr uint32_t kMaxHeaderBytes = 4096;
