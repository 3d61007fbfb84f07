// DecodeStatus: how one codec run over a member ended. Each cause stays apart up to the
// message the user sees: data that breaks its format's rules is not data that ended early,
// and neither is a disk that filled up or a buffer that could not be had.
#pragma once

#include <cstdint>

enum class DecodeStatus : uint8_t
{
    Ok = 0,        // the stream decoded to its end (the caller checks the CRC)
    Invalid,       // the data break a rule of the format (a bad code table, a bad distance)
    Truncated,     // the compressed data ended before the stream did
    OutputRefused, // the sink would not take the output (a full disk, the member's size, stop)
    Cancelled,     // the user asked to stop
    NoMemory,      // a buffer the stream needs could not be had
    Unsupported,   // sound data asking for what this reader does not take (a larger window)
};

// A short English name of the status, for test failures and fuzz reports.
constexpr const char* DecodeStatusName(DecodeStatus status)
{
    switch (status) {
    case DecodeStatus::Ok:
        return "ok";
    case DecodeStatus::Invalid:
        return "invalid";
    case DecodeStatus::Truncated:
        return "truncated";
    case DecodeStatus::OutputRefused:
        return "output refused";
    case DecodeStatus::Cancelled:
        return "cancelled";
    case DecodeStatus::NoMemory:
        return "out of memory";
    case DecodeStatus::Unsupported:
        return "unsupported";
    }
    return "?";
}
