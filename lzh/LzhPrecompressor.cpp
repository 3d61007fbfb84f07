// Compression ahead of the adds, on worker threads, with results handed over in order.
#include "lzh/LzhPrecompressor.h"

#include "lzh/LzhCodec.h"
#include "platform/File.h"

#include <algorithm>
#include <new>
#include <system_error>

CLzhPrecompressor::~CLzhPrecompressor()
{
    Stop();
}

void CLzhPrecompressor::Start(std::vector<Job> jobs, unsigned threads)
{
    Stop();
    std::lock_guard<std::mutex> hold(m_lock);
    m_stopping = false;
    m_abandon = false;
    m_slots.resize(jobs.size());
    for (size_t i = 0; i < jobs.size(); ++i) {
        m_slots[i].job = std::move(jobs[i]);
    }
    m_front = m_next = m_held = 0;
    m_working = 0;
    m_awaited = SIZE_MAX;
    threads = m_slots.empty() ? 0 : std::clamp(threads, 1u, kMaxThreads);
    for (unsigned i = 0; i < threads; ++i) {
        try {
            m_threads.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
            break; // the threads there are do the work; with none, the add does it all
        }
    }
}

void CLzhPrecompressor::Stop()
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_stopping = true;
    }
    m_abandon = true;
    m_roomMade.notify_all();
    for (std::thread& t : m_threads) {
        t.join();
    }
    m_threads.clear();
    m_slots.clear();
}

bool CLzhPrecompressor::Compress(const Job& job, Result* result, unsigned threads) const
{
    using namespace platform;
    FileHandle file = OpenFile(job.path, kAccessRead, FileShare::Read,
                               FileDisposition::OpenExisting, FileHint::SequentialScan);
    if (file == kInvalidFile) {
        return false;
    }
    bool ok = GetFileSize(file, &result->size) && GetFileTimes(file, nullptr, &result->written) &&
              GetFileIdentity(file, &result->identity) && result->size > 0 &&
              result->size <= kMaxBytes;
    if (ok) {
        LzhCodecParams params{file, kInvalidFile, static_cast<uint32_t>(result->size), 0,
                              job.method};
        bool readFailed = false;
        try {
            result->packed.reserve(static_cast<size_t>(result->size / 2));
            result->crc =
                LzhEncodeToMemory(params, result->packed, &readFailed, &m_abandon, threads);
            ok = !readFailed;
            result->shrank = params.packedSize < result->size;
            if (!result->shrank) {
                result->packed.clear(); // stored by the add, from the file
            }
            result->packed.shrink_to_fit(); // held results count by their size
        } catch (const std::bad_alloc&) {
            *result = Result(); // the add compresses the file itself
            ok = false;
        }
    }
    CloseFile(file);
    return ok;
}

void CLzhPrecompressor::Work()
{
    std::unique_lock<std::mutex> hold(m_lock);
    for (;;) {
        if (m_stopping || m_next == m_slots.size()) {
            return;
        }
        // Beyond the next job to take, work waits while the results held are too many.
        if (m_held >= kHeldBytes && m_next > m_front) {
            ++m_idle;
            m_roomMade.wait(hold);
            --m_idle;
            continue;
        }
        size_t at = m_next++;
        m_slots[at].state = State::Working;
        const Job& job = m_slots[at].job; // jobs change only while no worker runs
        // The last job, with no other at work, has the cores to itself.
        const unsigned threads = m_next == m_slots.size() && m_working == 0
                                     ? static_cast<unsigned>(m_threads.size())
                                     : 1;
        ++m_working;
        hold.unlock();
        Result result;
        bool done = Compress(job, &result, threads);
        hold.lock();
        --m_working;
        Slot& slot = m_slots[at];
        slot.state = done ? State::Done : State::Failed;
        if (at >= m_front) { // else the adds moved past it: the bytes go
            m_held += result.packed.size();
            slot.result = std::move(result);
        }
        m_resultReady.notify_all();
    }
}

void CLzhPrecompressor::Finish()
{
    std::unique_lock<std::mutex> hold(m_lock);
    m_resultReady.wait(hold, [&] {
        if (m_held >= kHeldBytes) {
            return true;
        }
        for (size_t i = m_front; i < m_slots.size(); ++i) {
            if (m_slots[i].state != State::Done && m_slots[i].state != State::Failed) {
                return false;
            }
        }
        return true;
    });
}

bool CLzhPrecompressor::Busy()
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_next < m_slots.size() && !m_stopping) {
        return true;
    }
    for (size_t i = m_front; i < m_slots.size(); ++i) {
        if (m_slots[i].state == State::Working) {
            return true;
        }
    }
    return false;
}

bool CLzhPrecompressor::Take(const std::wstring& path, int method, Result* result)
{
    std::unique_lock<std::mutex> hold(m_lock);
    size_t at = m_front;
    while (at < m_slots.size() &&
           (m_slots[at].job.path != path || m_slots[at].job.method != method)) {
        ++at;
    }
    if (at == m_slots.size()) {
        return false;
    }
    // The jobs passed over are dropped, and so is their held memory.
    for (size_t i = m_front; i < at; ++i) {
        m_held -= m_slots[i].result.packed.size();
        m_slots[i].result = Result();
    }
    m_front = at; // kept while it is waited for
    if (m_idle > 0 && m_held < kHeldBytes) {
        m_roomMade.notify_all();
    }
    if (m_next <= at) {
        m_next = m_front = at + 1; // not begun: the add is as quick
        return false;
    }
    Slot& slot = m_slots[at];
    m_awaited = at;
    m_resultReady.wait(hold,
                       [&] { return slot.state == State::Done || slot.state == State::Failed; });
    m_awaited = SIZE_MAX;
    bool done = slot.state == State::Done;
    m_held -= slot.result.packed.size();
    *result = std::move(slot.result);
    slot.result = Result();
    m_front = at + 1;
    if (m_idle > 0 && m_held < kHeldBytes) {
        m_roomMade.notify_all();
    }
    return done;
}
