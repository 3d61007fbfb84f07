// The parse shared among threads: the input read ahead, the helpers' segments and the
// calling thread's comparison with them.
#include "lzh/LzhParallelEncoder.h"

#include "lzh/Crc16.h"
#include "lzh/LzhParseLoop.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace
{

constexpr unsigned kMaxThreads = 8;
constexpr uint32_t kTopSpacing = 256; // a helper records its first loop top in each 256 bytes

uint32_t SegmentBytes(const LzhEncodeThreads& threads, uint32_t dict)
{
    const uint64_t rounded = (uint64_t{threads.segment} + dict - 1) / dict * dict;
    return static_cast<uint32_t>(std::clamp<uint64_t>(rounded, 2 * uint64_t{dict}, 1u << 30));
}

// The length of the calling thread's own segments, which it parses besides coding every
// token: what keeps it as busy as each helper, coding taking about a sixth of the time of
// parsing, so (7 - W)/7 of S, rounded to whole dictionaries (at least 2D).
uint32_t OwnSegmentBytes(uint32_t segment, uint32_t dict, unsigned threads)
{
    const uint64_t share = threads < 7 ? uint64_t{segment} * (7 - threads) / 7 : 0;
    return static_cast<uint32_t>(std::max<uint64_t>(2 * dict, (share + dict / 2) / dict * dict));
}

// The input in order, from the calling thread's reads on (and from the first segment not
// yet given to a helper): the bytes its finder reads, and copies for the helpers.
class InputStore final : public ByteSource
{
public:
    // Room for `bytes` from the start, so that reads ahead need not allocate.
    InputStore(ByteSource& source, uint32_t chunk, size_t bytes) : m_source(source), m_chunk(chunk)
    {
        m_bytes.reserve(bytes);
    }

    // The finder's reads, from the cursor on.
    uint32_t Read(uint8_t* into, uint32_t count) override
    {
        Have(m_cursor + count);
        const uint32_t n = std::min(count, End() - m_cursor);
        std::memcpy(into, m_bytes.data() + (m_cursor - m_base), n);
        m_cursor += n;
        return n;
    }
    // Reads until the data reaches `end`; false when it ends before.
    bool Have(uint32_t end)
    {
        while (End() < end && !m_ended) {
            Compact();
            const size_t had = m_bytes.size();
            m_bytes.resize(had + std::max(m_chunk, end - End()));
            uint32_t got = 0;
            while (had + got < m_bytes.size()) {
                uint32_t n = m_source.Read(m_bytes.data() + had + got,
                                           static_cast<uint32_t>(m_bytes.size() - had - got));
                if (n == 0) {
                    m_ended = true;
                    break;
                }
                got += n;
            }
            crc = Crc16Update(crc, m_bytes.data() + had, got);
            m_bytes.resize(had + got);
        }
        return End() >= end;
    }
    void Copy(uint32_t from, uint32_t to, std::vector<uint8_t>& into) const
    {
        into.assign(m_bytes.begin() + (from - m_base), m_bytes.begin() + (to - m_base));
    }
    // The finder's reads go on from `at` (never back).
    void MoveTo(uint32_t at) { m_cursor = at; }
    // Bytes before `at` are needed for no helper.
    void KeepFrom(uint32_t at) { m_keep = at; }

    uint16_t crc = 0; // of every byte read from the source

private:
    uint32_t End() const { return m_base + static_cast<uint32_t>(m_bytes.size()); }
    // Drops the bytes before both the cursor and the first kept, a chunk or more of them.
    void Compact()
    {
        const uint32_t from = std::min(m_cursor, m_keep);
        if (from > m_base && from - m_base >= m_chunk) {
            m_bytes.erase(m_bytes.begin(), m_bytes.begin() + (from - m_base));
            m_base = from;
        }
    }

    ByteSource& m_source;
    uint32_t m_chunk;
    std::vector<uint8_t> m_bytes; // the data from m_base on
    uint32_t m_base = 0;
    uint32_t m_cursor = 0;
    uint32_t m_keep = 0;
    bool m_ended = false;
};

class VectorSource final : public ByteSource
{
public:
    explicit VectorSource(const std::vector<uint8_t>& bytes) : m_bytes(bytes) {}
    uint32_t Read(uint8_t* into, uint32_t count) override
    {
        const uint32_t n = std::min(count, static_cast<uint32_t>(m_bytes.size() - m_at));
        std::memcpy(into, m_bytes.data() + m_at, n);
        m_at += n;
        return n;
    }

private:
    const std::vector<uint8_t>& m_bytes;
    uint32_t m_at = 0;
};

// A loop top a helper recorded: its position, the match found there, where its tokens
// from there on begin, and the keys crowded since the last slide (log[logFrom, logTo)).
struct LoopTop
{
    uint32_t at;
    uint32_t matchLength;
    uint32_t matchPos;
    uint32_t token;
    uint32_t byte;
    uint32_t logFrom;
    uint32_t logTo;
};

// One segment parsed ahead. The calling thread sets the first four fields, and owns them all
// while the helper is not at work on it.
struct Segment
{
    uint32_t start = 0;
    uint32_t end = 0;
    std::vector<uint8_t> input; // the data from start - D to end + D + 256
    std::unique_ptr<CLzhMatchFinder> finder;

    // The tokens: a literal's byte, or a match's length - 3 and code's high and low bytes,
    // with one bit per token, set for a match.
    std::vector<uint8_t> bytes;
    std::vector<uint64_t> matches;
    uint32_t tokens = 0;
    std::vector<LoopTop> tops;
    std::vector<uint16_t> crowded; // the keys flagged crowded, in order
    bool failed = false;           // no memory, or stopped before the end
    size_t next = 0;               // the first top the calling thread has not passed
};

// A segment's place among those parsed ahead. Each helper thread has two, so that it parses
// the next while the calling thread takes its last.
struct Slot
{
    enum class State : uint8_t
    {
        Idle,
        Queued, // given out, no helper at work on it yet
        Parsing,
        Done
    };
    State state = State::Idle;
    Segment segment;
};
constexpr unsigned kSlotsPerHelper = 2;

// The helper's steps: tokens kept, loop tops recorded, an end at the segment's end.
struct HelperSteps
{
    CLzhMatchFinder* finder;
    Segment* s;
    const std::atomic<bool>* abandon;
    uint32_t nextTop;

    bool Top()
    {
        const CLzhMatchFinder& f = *finder;
        const uint32_t at = f.Absolute(f.pos);
        if (at >= s->end) {
            return false;
        }
        if (at >= nextTop) {
            s->tops.push_back({at, f.matchLength, f.matchPos, s->tokens,
                               static_cast<uint32_t>(s->bytes.size()), f.crowdedLogAtSlide,
                               static_cast<uint32_t>(s->crowded.size())});
            nextTop = (at / kTopSpacing + 1) * kTopSpacing;
            return !abandon->load(std::memory_order_relaxed);
        }
        return true;
    }
    void Literal(uint8_t byte)
    {
        if (s->tokens % 64 == 0) {
            s->matches.push_back(0);
        }
        s->bytes.push_back(byte);
        ++s->tokens;
    }
    void Match(unsigned length, unsigned code)
    {
        if (s->tokens % 64 == 0) {
            s->matches.push_back(0);
        }
        s->matches.back() |= uint64_t{1} << (s->tokens % 64);
        const uint8_t three[] = {static_cast<uint8_t>(length - 3), static_cast<uint8_t>(code >> 8),
                                 static_cast<uint8_t>(code)};
        s->bytes.insert(s->bytes.end(), three, three + 3);
        ++s->tokens;
    }
};

class ParallelParse
{
public:
    ParallelParse(std::unique_ptr<CLzhMatchFinder>& finder, CLzhBlockWriter& blocks,
                  ByteSource& source, int dictBits, const LzhEncodeThreads& threads)
        : m_finder(finder), m_blocks(blocks), m_dictBits(dictBits), m_dict(1u << dictBits),
          m_segment(SegmentBytes(threads, m_dict)), m_ownSegment(0),
          m_store(source, m_segment,
                  (size_t{std::min(threads.threads, kMaxThreads)} * kSlotsPerHelper + 3) *
                          m_segment +
                      2 * m_dict + 512),
          m_slots((std::min(threads.threads, kMaxThreads) - 1) * kSlotsPerHelper)
    {}
    ~ParallelParse()
    {
        {
            std::lock_guard<std::mutex> hold(m_lock);
            m_stopping = true;
        }
        m_abandon = true;
        m_work.notify_all();
        for (std::thread& t : m_helpers) {
            t.join();
        }
    }

    // Starts the helpers; false when none could start.
    bool StartHelpers()
    {
        const size_t wanted = m_slots.size() / kSlotsPerHelper;
        try {
            for (Slot& slot : m_slots) {
                slot.segment.input.reserve(m_segment + 2 * m_dict + 256);
            }
            m_helpers.reserve(wanted);
            while (m_helpers.size() < wanted) {
                m_helpers.emplace_back([this] { Work(); });
            }
        } catch (const std::system_error&) {
        } catch (const std::bad_alloc&) {
        }
        const size_t started = m_helpers.size();
        m_threads = static_cast<unsigned>(started) + 1;
        m_ownSegment = OwnSegmentBytes(m_segment, m_dict, m_threads);
        return started > 0;
    }

    uint16_t Run();

    uint32_t taken = 0; // segments whose tokens went out

    // The calling thread's steps.
    struct Steps
    {
        CLzhMatchFinder* finder;
        ParallelParse* parse;
        CLzhBlockWriter* blocks;
        uint32_t nextCheck;

        bool Top()
        {
            if (blocks->bits.cannotShrink) {
                return false;
            }
            return finder->Absolute(finder->pos) < nextCheck || parse->AtSegment(*this);
        }
        void Literal(uint8_t byte) { blocks->PutLiteral(byte); }
        void Match(unsigned length, unsigned code) { blocks->PutMatch(length, code); }
    };

private:
    void Work();
    // The queued slot of the earliest segment, or none (under the lock).
    Slot* FirstQueued();
    void Parse(Segment& s);
    void Dispatch(uint32_t at);
    bool AtSegment(Steps& steps);
    bool Agrees(const Segment& s, const LoopTop& top) const;
    void Replay(const Segment& s, const LoopTop& top);
    void Release(Slot& slot);
    // Segment k starts here. Each round of m_threads segments is the calling thread's own
    // and one for each helper.
    uint64_t SegmentStart(uint32_t k) const
    {
        const uint64_t round = m_ownSegment + uint64_t{m_threads - 1} * m_segment;
        const uint32_t r = k % m_threads;
        return k / m_threads * round + (r == 0 ? 0 : m_ownSegment + uint64_t{r - 1} * m_segment);
    }
    Slot* IdleSlot()
    {
        std::lock_guard<std::mutex> hold(m_lock);
        // The slots of the helpers that started.
        for (size_t i = 0; i < m_helpers.size() * kSlotsPerHelper; ++i) {
            if (m_slots[i].state == Slot::State::Idle) {
                return &m_slots[i];
            }
        }
        return nullptr;
    }

    std::unique_ptr<CLzhMatchFinder>& m_finder;
    CLzhBlockWriter& m_blocks;
    const int m_dictBits;
    const uint32_t m_dict;
    const uint32_t m_segment; // S, the helpers' segments
    uint32_t m_ownSegment;    // the calling thread's
    InputStore m_store;
    unsigned m_secondKey = 0;
    unsigned m_threads = 1; // the calling thread and the helpers that started

    std::vector<Slot> m_slots;
    std::vector<std::thread> m_helpers;
    std::deque<Slot*> m_pending; // the slots given out, in their segments' order
    uint32_t m_nextSegment = 1;  // the next segment to give out
    bool m_inputEnded = false;   // no more segments: the data ends before the next

    std::mutex m_lock;
    std::condition_variable m_work; // helpers wait for a segment, the calling thread for one done
    bool m_stopping = false;
    std::atomic<bool> m_abandon{false};
};

Slot* ParallelParse::FirstQueued()
{
    Slot* first = nullptr;
    for (Slot& slot : m_slots) { // those of helpers that did not start stay idle
        if (slot.state == Slot::State::Queued &&
            (first == nullptr || slot.segment.start < first->segment.start)) {
            first = &slot;
        }
    }
    return first;
}

void ParallelParse::Work()
{
    std::unique_lock<std::mutex> hold(m_lock);
    for (;;) {
        Slot* slot = nullptr;
        m_work.wait(hold, [&] { return m_stopping || (slot = FirstQueued()) != nullptr; });
        if (m_stopping) {
            return;
        }
        slot->state = Slot::State::Parsing;
        hold.unlock();
        Parse(slot->segment);
        hold.lock();
        slot->state = Slot::State::Done;
        m_work.notify_all();
    }
}

void ParallelParse::Parse(Segment& s)
{
    s.bytes.clear();
    s.matches.clear();
    s.tokens = 0;
    s.tops.clear();
    s.crowded.clear();
    s.next = 0;
    s.failed = true;
    try {
        if (s.finder == nullptr) {
            s.finder = std::make_unique<CLzhMatchFinder>();
        }
        s.bytes.reserve(m_segment + 256);
        s.matches.reserve(m_segment / 64 + 8);
        s.tops.reserve(m_segment / kTopSpacing + 1);
        CLzhMatchFinder& f = *s.finder;
        VectorSource input(s.input);
        f.crowdedLog = &s.crowded;
        f.StartAt(m_dictBits, &input, s.start, m_secondKey);
        LzhSearchClamped(f);
        HelperSteps steps{&f, &s, &m_abandon, s.start};
        LzhParse(steps);
        f.crowdedLog = nullptr;
        f.SetSource(nullptr);
        s.failed = f.Absolute(f.pos) < s.end || m_abandon.load(std::memory_order_relaxed);
    } catch (const std::bad_alloc&) {
        if (s.finder != nullptr) {
            s.finder->crowdedLog = nullptr;
        }
    }
}

// Gives each idle helper its next segment: those ahead of `at` whose data (to D + 256 past
// their end) can be read, in order; segments whose helper is still busy wait.
void ParallelParse::Dispatch(uint32_t at)
{
    while (!m_inputEnded) {
        const uint32_t k = m_nextSegment;
        if (k % m_threads == 0) {
            ++m_nextSegment; // the calling thread's own
            continue;
        }
        Slot* slot = IdleSlot();
        if (slot == nullptr) {
            break;
        }
        const uint64_t start = SegmentStart(k);
        const uint64_t need = start + m_segment + m_dict + 256;
        if (need > UINT32_MAX || !m_store.Have(static_cast<uint32_t>(need))) {
            m_inputEnded = true;
            break;
        }
        ++m_nextSegment;
        if (start <= at) {
            continue; // passed already
        }
        Segment& s = slot->segment;
        s.start = static_cast<uint32_t>(start);
        s.end = s.start + m_segment;
        try {
            m_store.Copy(s.start - m_dict, static_cast<uint32_t>(need), s.input);
        } catch (const std::bad_alloc&) {
            m_inputEnded = true;
            break;
        }
        m_pending.push_back(slot);
        {
            std::lock_guard<std::mutex> hold(m_lock);
            slot->state = Slot::State::Queued;
        }
        m_work.notify_all();
    }
    const uint64_t keep = SegmentStart(m_nextSegment) - m_dict;
    m_store.KeepFrom(static_cast<uint32_t>(std::min<uint64_t>(keep, UINT32_MAX)));
}

bool ParallelParse::Agrees(const Segment& s, const LoopTop& top) const
{
    const CLzhMatchFinder& f = *m_finder;
    if (f.matchLength != top.matchLength || f.matchPos != top.matchPos ||
        f.crowdedCount != top.logTo - top.logFrom) {
        return false;
    }
    for (uint32_t i = top.logFrom; i < top.logTo; ++i) {
        if (!f.IsCrowdedKey(s.crowded[i])) {
            return false;
        }
    }
    return true;
}

void ParallelParse::Replay(const Segment& s, const LoopTop& top)
{
    uint32_t b = top.byte;
    for (uint32_t t = top.token; t < s.tokens && !m_blocks.bits.cannotShrink; ++t) {
        if ((s.matches[t / 64] >> (t % 64)) & 1) {
            m_blocks.PutMatch(s.bytes[b] + 3u, (unsigned{s.bytes[b + 1]} << 8) | s.bytes[b + 2]);
            b += 3;
        } else {
            m_blocks.PutLiteral(s.bytes[b++]);
        }
    }
}

void ParallelParse::Release(Slot& slot)
{
    m_pending.pop_front();
    std::lock_guard<std::mutex> hold(m_lock);
    slot.state = Slot::State::Idle;
}

// At a loop top at or past the next point to look at: waits for the segment there, takes it
// over where the states agree, and sets the next point.
bool ParallelParse::AtSegment(Steps& steps)
{
    for (;;) {
        const uint32_t at = m_finder->Absolute(m_finder->pos);
        if (m_pending.empty()) {
            Dispatch(at);
            if (m_pending.empty()) {
                steps.nextCheck = UINT32_MAX;
                return true;
            }
        }
        Slot& slot = *m_pending.front();
        Segment& s = slot.segment;
        if (at < s.start) {
            steps.nextCheck = s.start;
            return true;
        }
        {
            std::unique_lock<std::mutex> hold(m_lock);
            m_work.wait(hold, [&] { return slot.state == Slot::State::Done; });
        }
        if (!s.failed && at < s.end) {
            while (s.next < s.tops.size() && s.tops[s.next].at < at) {
                ++s.next;
            }
            if (s.next < s.tops.size() && s.tops[s.next].at == at) {
                if (Agrees(s, s.tops[s.next])) {
                    Replay(s, s.tops[s.next]);
                    ++taken;
                    std::swap(m_finder, s.finder);
                    m_finder->SetSource(&m_store);
                    m_store.MoveTo(m_finder->ReadEnd());
                    steps.finder = m_finder.get();
                    Release(slot);
                    Dispatch(m_finder->Absolute(m_finder->pos));
                    if (m_blocks.bits.cannotShrink) {
                        return false;
                    }
                    continue;
                }
                ++s.next;
            }
            steps.nextCheck = s.next < s.tops.size() ? s.tops[s.next].at : s.end;
            return true;
        }
        Release(slot); // parsed here
        Dispatch(at);
    }
}

uint16_t ParallelParse::Run()
{
    CLzhMatchFinder& f = *m_finder;
    f.crowdedLog = nullptr;
    f.Start(m_dictBits, &m_store);
    m_secondKey = f.SecondKey();
    Steps steps{&f, this, &m_blocks, 0};
    LzhParse(steps);
    return m_store.crc;
}

} // namespace

bool LzhParallelApplies(const LzhEncodeThreads& threads, int dictBits, uint32_t size)
{
    const uint32_t dict = 1u << dictBits;
    const uint32_t segment = SegmentBytes(threads, dict);
    const uint64_t first = OwnSegmentBytes(segment, dict, std::min(threads.threads, kMaxThreads));
    return threads.threads > 1 && size >= threads.minimum &&
           size >= first + segment + dict + 256; // room for one segment parsed ahead
}

int LzhParseParallel(std::unique_ptr<CLzhMatchFinder>& finder, CLzhBlockWriter& blocks,
                     ByteSource& source, int dictBits, const LzhEncodeThreads& threads,
                     uint32_t* taken)
{
    std::unique_ptr<ParallelParse> parse;
    try {
        parse = std::make_unique<ParallelParse>(finder, blocks, source, dictBits, threads);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    if (!parse->StartHelpers()) {
        return -1;
    }
    const uint16_t crc = parse->Run();
    *taken = parse->taken;
    return crc;
}
