// CLzhPrecompressor: compresses the files an add is about to store, ahead of it, on other
// threads. Each file is compressed on its own (the encoder's output is a function of the file
// and the method alone), so the bytes are those the adding thread would make; the adding
// thread still writes every member itself, in its order. At most a few results are held at
// once, and files larger than kMaxBytes are left to the adding thread: memory stays bounded
// (threads × (kMaxBytes + the encoder's own few MB)).
#pragma once

#include "platform/FileTime.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CLzhPrecompressor
{
public:
    static constexpr uint64_t kMaxBytes = 32u << 20;

    struct Job
    {
        std::wstring path; // the source file (device path)
        int method;        // 5, 6 or 7
    };

    struct Result
    {
        uint64_t size = 0;              // the file's size when it was read
        platform::FileTime written = 0; // its last-write time then
        uint16_t crc = 0;               // CRC-16 of the file (when it shrank)
        bool shrank = false;            // packed holds the member's data; otherwise store it
        std::vector<uint8_t> packed;
    };

    CLzhPrecompressor() = default;
    ~CLzhPrecompressor();
    CLzhPrecompressor(const CLzhPrecompressor&) = delete;
    CLzhPrecompressor& operator=(const CLzhPrecompressor&) = delete;

    // Starts compressing the jobs ahead of the adds, in their order, on `threads` threads.
    void Start(std::vector<Job> jobs, unsigned threads);
    // The result for the file the add has come to: the first job from the current one on
    // with this path and method (the jobs before it are dropped), waited for when it is still
    // in work. False when there is none (or it could not be read): the add compresses it.
    bool Take(const std::wstring& path, int method, Result* result);
    // Drops every job not yet taken and ends the threads.
    void Stop();

private:
    struct Slot
    {
        Job job;
        enum State
        {
            Waiting,
            Working,
            Done,
            Failed
        } state = Waiting;
        Result result;
    };

    void Work();
    static bool Compress(const Job& job, Result* result);

    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<Slot> m_slots; // jobs from the current one on
    size_t m_ahead = 0;       // results that may be held at once
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};
