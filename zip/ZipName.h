// Member names of ZIP headers as the archive says they are encoded: UTF-8 when the
// general-purpose flag bit 11 is set, else the UTF-8 name of a valid Unicode path extra field
// (0x7075), else code page 932 (UTF-8 for valid UTF-8 from a Unix host, whose archivers write
// the file system's names as they are).
#pragma once

#include "archive/NameEncoding.h"
#include "archive/PathLimit.h"

#include <cstdint>
#include <string_view>

constexpr uint16_t kZipFlagUtf8 = 0x0800; // name and comment are UTF-8
constexpr uint8_t kZipHostUnix = 3;

// Converts a header's name bytes (up to the first NUL) with its flags and extra field; an
// explicit encoding decides for the name field whatever the flags and the host say.
// Returns 0, or 1 when the name has 260 characters or more (the first 259 are kept).
int ZipNameToWide(std::string_view bytes, uint16_t flags, std::string_view extra,
                  uint8_t madeByHost, wchar_t (&out)[kMaxPath],
                  NameEncoding encoding = NameEncoding::Auto);
