// The encoder's main loop: a one-step lazy match. A match found at one position is emitted
// only when the search at the next position finds nothing longer; otherwise the first byte
// goes out as a literal and the longer match becomes the candidate. Ties favour the earlier
// match.
#include "lzh/LzhEncoder.h"

#include "lzh/LzhMethods.h"

CLzhEncoder::CLzhEncoder() : m_finder(new CLzhMatchFinder), m_blocks(new CLzhBlockWriter) {}

CLzhEncoder::~CLzhEncoder() = default;

void CLzhEncoder::SearchClamped()
{
    CLzhMatchFinder& f = *m_finder;
    f.Search();
    if (f.matchLength > f.remaining) {
        f.matchLength = f.remaining; // the last match ends exactly at the end of the data
    }
}

LzhEncodeResult CLzhEncoder::Encode(ByteSource& source, ByteSink& sink, uint32_t unpackedSize,
                                    int method)
{
    const LzhMethodInfo* written = LzhMethodByNumber(method);
    int dictBits =
        written != nullptr && written->writable && !written->stored ? written->dictBits : 13;
    CLzhMatchFinder& f = *m_finder;
    CLzhBlockWriter& blocks = *m_blocks;
    blocks.Start(dictBits, &sink, unpackedSize);
    f.Start(dictBits, &source);

    while (f.remaining > 0 && !blocks.bits.cannotShrink) {
        uint32_t lastLength = f.matchLength;
        uint32_t lastCode = f.pos - f.matchPos - 1;
        f.matchLength = lastLength - 1;
        f.Advance();
        SearchClamped();
        if (f.matchLength > lastLength || lastLength < 3) {
            blocks.PutLiteral(f.ByteAt(f.pos - 1));
            continue;
        }
        blocks.PutMatch(lastLength, lastCode & (f.dict - 1));
        for (uint32_t k = lastLength - 2; k > 0; --k) {
            f.Advance();
            f.Insert();
        }
        f.Advance();
        f.matchLength = 2;
        SearchClamped();
    }
    blocks.Finish();

    LzhEncodeResult result;
    result.crc = f.crc;
    result.packedSize = blocks.bits.byteCount;
    result.cannotShrink = blocks.bits.cannotShrink;
    result.writeFailed = blocks.bits.writeFailed;
    return result;
}
