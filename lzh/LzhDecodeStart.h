// StartDecode: the first steps of the decoders over LzhBitInput with a job: a member of no
// bytes is done at once, a packed size past the bit input's 32 bits is not taken, and the
// decoder's state is made on first use, without throwing.
#pragma once

#include "lzh/LzhMethodDecoder.h"

#include <cstdint>
#include <memory>
#include <new>

// False when the job ends here, result's status saying how (Ok for a member of no bytes);
// true when state is ready to decode it.
template <typename State>
bool StartDecode(const LzhDecodeJob& job, std::unique_ptr<State>& state, LzhDecodeResult& result)
{
    if (job.unpackedSize == 0) {
        return false;
    }
    if (job.packedSize > UINT32_MAX) {
        result.status = DecodeStatus::Unsupported;
        return false;
    }
    if (state == nullptr) {
        state.reset(new (std::nothrow) State);
        if (state == nullptr) {
            result.status = DecodeStatus::NoMemory;
            return false;
        }
    }
    return true;
}
