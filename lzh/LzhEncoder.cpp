// The encoder: the parse (LzhParseLoop.h) on the calling thread, or shared among threads
// for long data, into static-Huffman blocks.
#include "lzh/LzhEncoder.h"

#include "lzh/LzhMethods.h"
#include "lzh/LzhParseLoop.h"

namespace
{

struct SerialSteps
{
    CLzhMatchFinder* finder;
    CLzhBlockWriter* blocks;

    bool Top() const { return !blocks->bits.cannotShrink; }
    void Literal(uint8_t byte) { blocks->PutLiteral(byte); }
    void Match(unsigned length, unsigned code) { blocks->PutMatch(length, code); }
};

} // namespace

CLzhEncoder::CLzhEncoder() : m_finder(new CLzhMatchFinder), m_blocks(new CLzhBlockWriter) {}

CLzhEncoder::~CLzhEncoder() = default;

LzhEncodeResult CLzhEncoder::Encode(ByteSource& source, ByteSink& sink, uint32_t unpackedSize,
                                    int method, const LzhEncodeThreads& threads)
{
    const LzhMethodInfo* written = LzhMethodByNumber(method);
    int dictBits =
        written != nullptr && written->writable && !written->stored ? written->dictBits : 13;
    CLzhBlockWriter& blocks = *m_blocks;
    blocks.Start(dictBits, &sink, unpackedSize);

    LzhEncodeResult result;
    int crc = -1;
    if (LzhParallelApplies(threads, dictBits, unpackedSize)) {
        crc = LzhParseParallel(m_finder, blocks, source, dictBits, threads, &result.segmentsTaken);
    }
    if (crc < 0) {
        m_finder->Start(dictBits, &source);
        SerialSteps steps{m_finder.get(), &blocks};
        LzhParse(steps);
        crc = m_finder->crc;
    }
    blocks.Finish();

    result.crc = static_cast<uint16_t>(crc);
    result.packedSize = blocks.bits.byteCount;
    result.cannotShrink = blocks.bits.cannotShrink;
    result.writeFailed = blocks.bits.writeFailed;
    return result;
}
