// Names and method identifiers between header bytes (code page 932, byte 0xFF as the path
// separator) and wide text.
#pragma once

#include "lzh/ArchiveEntry.h"

#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t kMaxArchiveNameBytes = 520; // encoded name limit, terminator included

// Converts name bytes (up to the first NUL) to text with every 0xFF byte read as '\'.
std::wstring ArchiveNameToText(const uint8_t* bytes, size_t count);
// The same into a record's field; false, with out empty, when the text does not fit it.
bool ArchiveNameToWide(const uint8_t* bytes, size_t count, wchar_t (&out)[kMaxPath]);

// Encodes text of at most 259 characters with '\' written as the byte 0xFF. Returns the byte
// length without the terminator, or -1 when it does not fit kMaxArchiveNameBytes.
int WideToArchiveName(const wchar_t* text, uint8_t (&buffer)[kMaxArchiveNameBytes]);

// Whether every character of text ('\' between folders) has a code of its own in a header:
// one without a code would be stored as '?', and U+F8F3 as the separator byte 0xFF.
bool HasArchiveCodes(const wchar_t* text);

// The five identifier bytes to text, and text to at most six bytes (the header takes five).
void MethodToWide(const uint8_t* bytes, wchar_t (&out)[6]);
void MethodToBytes(const wchar_t* text, uint8_t (&buffer)[6]);
