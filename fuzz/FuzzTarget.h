// The entry point every fuzz target defines, called by libFuzzer or StandaloneMain.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
