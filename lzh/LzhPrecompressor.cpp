// Compression ahead of the adds, on worker threads, with results handed over in order.
#include "lzh/LzhPrecompressor.h"

#include "lzh/LzhCodec.h"
#include "platform/File.h"

#include <algorithm>

CLzhPrecompressor::~CLzhPrecompressor()
{
    Stop();
}

void CLzhPrecompressor::Start(std::vector<Job> jobs, unsigned threads)
{
    Stop();
    std::lock_guard<std::mutex> hold(m_lock);
    m_stopping = false;
    for (Job& job : jobs) {
        m_slots.emplace_back();
        m_slots.back().job = std::move(job);
    }
    m_ahead = threads + 2;
    threads = m_slots.empty() ? 0 : std::max(threads, 1u);
    for (unsigned i = 0; i < threads; ++i) {
        m_threads.emplace_back([this] { Work(); });
    }
}

void CLzhPrecompressor::Stop()
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_stopping = true;
        m_slots.clear();
    }
    m_changed.notify_all();
    for (std::thread& t : m_threads) {
        t.join();
    }
    m_threads.clear();
}

bool CLzhPrecompressor::Compress(const Job& job, Result* result)
{
    using namespace platform;
    FileHandle file = OpenFile(job.path, kAccessRead, FileShare::Read,
                               FileDisposition::OpenExisting, FileHint::SequentialScan);
    if (file == kInvalidFile) {
        return false;
    }
    bool ok = GetFileSize(file, &result->size) && GetFileTimes(file, nullptr, &result->written) &&
              result->size > 0 && result->size <= kMaxBytes;
    if (ok) {
        LzhCodecParams params{file,
                              kInvalidFile,
                              static_cast<uint32_t>(result->size),
                              0,
                              DictBitsForMethod(job.method),
                              job.method};
        bool readFailed = false;
        result->packed.reserve(static_cast<size_t>(result->size / 2));
        result->crc = LzhEncodeToMemory(params, result->packed, &readFailed);
        ok = !readFailed;
        result->shrank = params.packedSize < result->size;
        if (!result->shrank) {
            result->packed.clear(); // stored by the add, from the file
            result->packed.shrink_to_fit();
        }
    }
    CloseFile(file);
    return ok;
}

void CLzhPrecompressor::Work()
{
    std::unique_lock<std::mutex> hold(m_lock);
    for (;;) {
        // The first waiting job within reach of the adds.
        Slot* next = nullptr;
        for (size_t i = 0; i < m_slots.size() && i < m_ahead && next == nullptr; ++i) {
            if (m_slots[i].state == Slot::Waiting) {
                next = &m_slots[i];
            }
        }
        if (m_stopping || (next == nullptr && m_slots.empty())) {
            return;
        }
        if (next == nullptr) {
            m_changed.wait(hold);
            continue;
        }
        next->state = Slot::Working;
        Job job = next->job;
        hold.unlock();
        Result result;
        bool done = Compress(job, &result);
        hold.lock();
        // The slot is still there unless the adds moved past it or stopped; deque
        // references stay valid while only the front is removed.
        for (Slot& s : m_slots) {
            if (&s == next) {
                s.state = done ? Slot::Done : Slot::Failed;
                s.result = std::move(result);
            }
        }
        m_changed.notify_all();
    }
}

bool CLzhPrecompressor::Take(const std::wstring& path, int method, Result* result)
{
    std::unique_lock<std::mutex> hold(m_lock);
    size_t at = 0;
    while (at < m_slots.size() &&
           (m_slots[at].job.path != path || m_slots[at].job.method != method)) {
        ++at;
    }
    if (at == m_slots.size()) {
        return false; // not listed: the slots stay for the adds to come
    }
    for (size_t i = 0; i < at; ++i) {
        // A slot in work is the worker's until it is done.
        m_changed.wait(hold, [&] { return m_slots.front().state != Slot::Working; });
        m_slots.pop_front();
    }
    m_changed.notify_all();
    m_changed.wait(hold, [&] {
        return m_slots.front().state == Slot::Done || m_slots.front().state == Slot::Failed;
    });
    bool done = m_slots.front().state == Slot::Done;
    *result = std::move(m_slots.front().result);
    m_slots.pop_front();
    m_changed.notify_all();
    return done;
}
