// CLzhLk7Decoder: the decoder of LHARK's "-lh7-" (static Huffman blocks over up to 128 KB
// of history, copy lengths 3-514), which shares only its label with the standard -lh7-,
// over LzhBitInput and LzhHistoryWindowOf; and the rule that tells the two apart.
#pragma once

#include "lzh/LzhMethodDecoder.h"

#include <memory>
#include <string_view>

// True when a member is LHARK's -lh7-: its method field reads "-lh7-", its header is level
// 1 and the header's OS id is 0x20 (a space, as the header holds it; 0 where the header
// has none). LHARK's -lh0- and -lh5- members carry that OS id too and are the standard
// methods; every other -lh7- member is the standard one.
bool IsLharkMethod(std::wstring_view method, int headerLevel, int osId);

class CLzhLk7Decoder final : public CLzhMethodDecoder
{
public:
    CLzhLk7Decoder();
    ~CLzhLk7Decoder() override;
    CLzhLk7Decoder(const CLzhLk7Decoder&) = delete;
    CLzhLk7Decoder& operator=(const CLzhLk7Decoder&) = delete;

    // Invalid for an over-full code, a code length past 16, bits that start no codeword or
    // a symbol without a meaning (a main symbol past 288, a distance symbol past 33);
    // Truncated when the stream takes more than LzhBitInput::kMaxOverreadBytes of zeros
    // past its packed bytes; Unsupported for a packed size past 4 GB (a level 1 header
    // holds 32 bits).
    LzhDecodeResult Decode(const LzhDecodeJob& job) override;

private:
    struct State;
    std::unique_ptr<State> m_state; // made on the first Decode
};
