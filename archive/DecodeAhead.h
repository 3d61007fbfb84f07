// CDecodeAhead: members of an extraction or test run decoded ahead of it on worker threads.
// The run queues the members it is about to take, in its order; workers decode them into
// memory (a test keeps only the outcome) and the run takes each result when it comes to that
// member, handing the bytes to the member's own sink as the decoder would have (Replay).
// Everything the user sees stays on the run's thread and in its order: questions, messages,
// progress, Cancel, counts. A member the run reaches before a worker began it is decoded by
// the run itself, and so is one a worker could not finish (no memory, a read that failed).
//
// Memory: a result keeps at most the member's size (the sink refuses more); the run queues
// for extraction only members of at most kMaxBytes; workers begin a member beyond the one
// the run waits for only while the results held total less than kHeldBytes. In all at most
// kHeldBytes + threads × kMaxBytes (192 MB with 8 threads) besides the decoders.
#pragma once

#include "archive/MemberStreams.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class CDecodeAhead
{
public:
    static constexpr uint64_t kMaxBytes = 16u << 20;
    static constexpr uint64_t kHeldBytes = 64u << 20;
    // Members of fewer packed bytes are decoded by the run: handing them over would cost
    // about as much as decoding them.
    static constexpr uint64_t kMinPacked = 8u << 10;
    // A task's status when it left the member to the run (it decodes the member itself).
    static constexpr int kLeftToRun = -1;

    // What a worker made of a member: the format's status (as the run's own decode would
    // give it, had every byte reached the file), the sizes of the decoder's writes, and the
    // bytes (none in a test).
    struct Result
    {
        int status = kLeftToRun;
        std::vector<size_t> pieces;
        std::vector<uint8_t> bytes;
    };
    // Decodes one member into the sink (its limit is the member's size); returns the status.
    using Task = std::function<int(CMemberSink& sink)>;

    explicit CDecodeAhead(unsigned threads);
    ~CDecodeAhead();
    CDecodeAhead(const CDecodeAhead&) = delete;
    CDecodeAhead& operator=(const CDecodeAhead&) = delete;

    // Queues member `index` of `size` bytes; with keepBytes its bytes are kept for the run.
    void Queue(int index, uint64_t size, bool keepBytes, Task task);
    // Members queued and not yet taken or passed.
    size_t Waiting() const;
    // The result for member `index`: the first queued one from the run's place on (those
    // before it are dropped), waited for while a worker decodes it. False when it is not
    // queued, was not begun, or was left to the run.
    bool Take(int index, Result* result);
    // Ends the workers; decodes under way stop at their next write.
    void Stop();

    // For tests: Take waits for a member not yet begun instead of leaving it to the run, so
    // that every queued member is decoded by a worker.
    static void TakeWaitsForQueued(bool wait);
    // Results the runs of this process took (for tests).
    static uint64_t TakenSoFar();

private:
    enum class State : uint8_t
    {
        Waiting,
        Working,
        Done,
        LeftToRun
    };
    struct Job
    {
        int index;
        uint64_t size;
        bool keepBytes;
        Task task;
        State state = State::Waiting;
        Result result;
    };

    void Work();
    Job& At(size_t number) { return m_jobs[number - m_base]; }
    // Drops the jobs before the run's place that no worker holds.
    void DropPassed();

    mutable std::mutex m_lock;
    std::condition_variable m_changed; // a job was queued or finished, room was made, or stop
    std::deque<Job> m_jobs;            // jobs m_base on, by number
    size_t m_base = 0;
    size_t m_end = 0;    // the number the next queued job gets
    size_t m_front = 0;  // the next job the run may take
    size_t m_next = 0;   // the next job to begin
    uint64_t m_held = 0; // bytes of results done and not taken
    bool m_stopping = false;
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_threads;
};

// Hands a result to the member's sink in the pieces the decoder wrote, so that progress and
// Cancel reach the run exactly as they would from the decoder. False when the sink refused
// (cancelled, or the file would not take them): the sink's flags say which.
bool ReplayDecoded(const CDecodeAhead::Result& result, CMemberSink& sink);
