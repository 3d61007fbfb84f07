// CLzhPrecompressor: compresses the files an add is about to store, ahead of it, on other
// threads. Each file is compressed on its own (the encoder's output is a function of the file
// and the method alone), so the bytes are those the adding thread would make; the adding
// thread still writes every member itself, in its order. Memory stays bounded: results wait
// only while they hold less than kHeldBytes, files larger than kMaxBytes are left to the
// adding thread, and at most kMaxThreads work (in all at most kHeldBytes + kMaxThreads ×
// (kMaxBytes + the encoder's few MB), 344 MB). The last job, begun while no other is at work,
// gets all the threads (LzhParallelEncoder.h: about 2 MB more per thread). A worker that
// cannot get memory or a thread that cannot start only leaves more to the adding thread.
#pragma once

#include "platform/File.h"
#include "platform/FileTime.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CLzhPrecompressor
{
public:
    static constexpr uint64_t kMaxBytes = 32u << 20;
    static constexpr uint64_t kHeldBytes = 64u << 20;
    static constexpr unsigned kMaxThreads = 8;

    struct Job
    {
        std::wstring path; // the source file (device path)
        int method;        // 5, 6 or 7
    };

    struct Result
    {
        uint64_t size = 0;               // the file's size when it was read
        platform::FileTime written = 0;  // its last-write time then
        platform::FileIdentity identity; // the file and its last change then
        uint16_t crc = 0;                // CRC-16 of the file (when it shrank)
        bool shrank = false;             // packed holds the member's data; otherwise store it
        std::vector<uint8_t> packed;
    };

    CLzhPrecompressor() = default;
    ~CLzhPrecompressor();
    CLzhPrecompressor(const CLzhPrecompressor&) = delete;
    CLzhPrecompressor& operator=(const CLzhPrecompressor&) = delete;

    // Starts compressing the jobs ahead of the adds, in their order, on `threads` threads.
    void Start(std::vector<Job> jobs, unsigned threads);
    // The result for the file the add has come to: the first job from the current one on
    // with this path and method (the jobs before it are dropped), waited for when it is in
    // work. False when there is none, it was not begun yet, or it could not be read: the add
    // compresses the file itself. A path not listed leaves the jobs as they were.
    bool Take(const std::wstring& path, int method, Result* result);
    // Waits until every job not yet taken has been compressed or has failed (or until the
    // results held reach kHeldBytes, which holds the rest back until adds take them).
    void Finish();
    // Whether a worker compresses a file now or a job waits to be begun.
    bool Busy();
    // Drops every job not yet taken and ends the threads; compressions under way stop at
    // their next read.
    void Stop();

private:
    enum class State : uint8_t
    {
        Waiting,
        Working,
        Done,
        Failed
    };
    struct Slot
    {
        Job job;
        State state = State::Waiting;
        Result result;
    };

    void Work();
    bool Compress(const Job& job, Result* result, unsigned threads) const;

    std::mutex m_lock;
    std::condition_variable m_resultReady; // the adding thread waits for m_slots[m_awaited],
                                           // or Finish for every slot
    std::condition_variable m_roomMade;    // workers wait for held bytes to drop
    std::vector<Slot> m_slots;
    size_t m_front = 0;          // the next job the adds may take
    size_t m_next = 0;           // the next job to begin
    size_t m_awaited = SIZE_MAX; // the job the adding thread waits for, if any
    uint64_t m_held = 0;         // bytes of the results done and not taken
    unsigned m_idle = 0;         // workers waiting for room
    unsigned m_working = 0;      // workers compressing
    bool m_stopping = false;
    std::atomic<bool> m_abandon{false}; // compressions under way end at their next read
    std::vector<std::thread> m_threads;
};
