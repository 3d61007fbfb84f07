// Members decoded ahead of a run on worker threads, handed over in the run's order.
#include "archive/DecodeAhead.h"

#include <algorithm>
#include <new>
#include <system_error>

namespace
{

std::atomic<bool> g_takeWaits{false};
std::atomic<uint64_t> g_taken{0};

} // namespace

void CDecodeAhead::TakeWaitsForQueued(bool wait)
{
    g_takeWaits = wait;
}

uint64_t CDecodeAhead::TakenSoFar()
{
    return g_taken;
}

CDecodeAhead::CDecodeAhead(unsigned threads)
{
    for (unsigned i = 0; i < threads; ++i) {
        try {
            m_threads.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
            break; // the threads there are do the work; with none, the run does it all
        }
    }
}

CDecodeAhead::~CDecodeAhead()
{
    Stop();
}

void CDecodeAhead::Stop()
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_stopping = true;
    }
    m_stop = true;
    m_changed.notify_all();
    for (std::thread& t : m_threads) {
        t.join();
    }
    m_threads.clear();
    std::lock_guard<std::mutex> hold(m_lock);
    m_jobs.clear();
    m_base = m_end = m_front = m_next = 0;
    m_held = 0;
}

void CDecodeAhead::Queue(int index, uint64_t size, bool keepBytes, Task task)
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_stopping || m_threads.empty()) {
            return;
        }
        m_jobs.push_back(Job{index, size, keepBytes, std::move(task), State::Waiting, Result()});
        ++m_end;
    }
    m_changed.notify_all();
}

size_t CDecodeAhead::Waiting() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_end - m_front;
}

void CDecodeAhead::DropPassed()
{
    while (m_base < m_front && m_jobs.front().state != State::Working) {
        m_held -= m_jobs.front().result.bytes.size();
        m_jobs.pop_front();
        ++m_base;
    }
}

void CDecodeAhead::Work()
{
    std::unique_lock<std::mutex> hold(m_lock);
    for (;;) {
        if (m_stopping) {
            return;
        }
        // Jobs the run passed are not begun; beyond the one it may take next, work waits
        // while the results held are too many.
        m_next = std::max(m_next, m_front);
        if (m_next == m_end || (m_held >= kHeldBytes && m_next > m_front)) {
            m_changed.wait(hold);
            continue;
        }
        size_t number = m_next++;
        Job& job = At(number); // stays while Working: DropPassed keeps it
        job.state = State::Working;
        hold.unlock();
        Result result;
        CMemberSink sink(platform::kInvalidFile, job.size, nullptr);
        sink.StopWhen(&m_stop);
        try {
            if (job.keepBytes) {
                result.bytes.reserve(static_cast<size_t>(std::min(job.size, kMaxBytes)));
            }
            sink.Record(job.keepBytes ? &result.bytes : nullptr, &result.pieces);
            result.status = job.task(sink);
        } catch (const std::bad_alloc&) {
            result = Result(); // left to the run
        }
        // A decode the stop cut short says nothing of the member.
        if (sink.cancelled) {
            result = Result();
        }
        hold.lock();
        Job& done = At(number);
        done.state = result.status == kLeftToRun ? State::LeftToRun : State::Done;
        if (number >= m_front && done.state == State::Done) {
            m_held += result.bytes.size();
            done.result = std::move(result);
        }
        DropPassed();
        m_changed.notify_all();
    }
}

bool CDecodeAhead::Take(int index, Result* result)
{
    std::unique_lock<std::mutex> hold(m_lock);
    size_t number = m_front;
    while (number < m_end && At(number).index != index) {
        ++number;
    }
    if (number == m_end) {
        return false; // not queued: the jobs stay for the members that follow
    }
    // The jobs passed over go, and so does their memory.
    for (size_t n = m_front; n < number; ++n) {
        m_held -= At(n).result.bytes.size();
        At(n).result = Result();
    }
    m_front = number;
    Job& job = At(number);
    if (job.state == State::Waiting && !g_takeWaits) {
        m_front = number + 1; // not begun: the run is as quick
        job.state = State::LeftToRun;
        DropPassed();
        m_changed.notify_all();
        return false;
    }
    m_changed.notify_all(); // room may have been made
    m_changed.wait(hold, [&] {
        return m_stopping || At(number).state == State::Done ||
               At(number).state == State::LeftToRun;
    });
    Job& finished = At(number);
    bool done = finished.state == State::Done;
    m_held -= finished.result.bytes.size();
    if (done) {
        *result = std::move(finished.result);
        ++g_taken;
    }
    finished.result = Result();
    m_front = number + 1;
    DropPassed();
    m_changed.notify_all();
    return done;
}

bool ReplayDecoded(const CDecodeAhead::Result& result, CMemberSink& sink)
{
    // A test keeps no bytes: the sink, which has no file then, needs only their count.
    size_t done = 0;
    for (size_t piece : result.pieces) {
        const uint8_t* bytes = result.bytes.empty() ? nullptr : result.bytes.data() + done;
        if (!sink.Write(bytes, piece)) {
            return false;
        }
        done += piece;
    }
    return true;
}
