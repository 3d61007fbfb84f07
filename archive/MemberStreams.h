// CFileSource and CMemberSink: the byte streams of one member over files. The source reads
// a bounded stretch of the archive and keeps a failed read apart from an early end; the sink
// takes the decoded bytes for the output file (none when only testing), never more than the
// member's declared size, and tells the prompt how far the member is (it may stop it).
#pragma once

#include "archive/ArchivePrompt.h"
#include "archive/ByteStreams.h"
#include "platform/File.h"

#include <atomic>
#include <cstdint>
#include <vector>

class CFileSource final : public ByteSource
{
public:
    // Reads at most size bytes from the file's position; once *stop is set, reading fails.
    explicit CFileSource(platform::FileHandle file, uint64_t size = UINT64_MAX,
                         const std::atomic<bool>* stop = nullptr)
        : m_file(file), m_left(size), m_stop(stop)
    {}
    uint32_t Read(uint8_t* buffer, uint32_t capacity) override;

    bool readFailed = false; // the file refused a read, or a stop was asked for
    bool endedEarly = false; // the file ended before the stretch did

private:
    platform::FileHandle m_file;
    uint64_t m_left;
    const std::atomic<bool>* m_stop;
};

class CMemberSink final : public ByteSink
{
public:
    CMemberSink(platform::FileHandle file, uint64_t limit, CArchivePrompt* prompt)
        : m_file(file), m_limit(limit), m_prompt(prompt)
    {}
    // Without a file and a record, data may be null: only the count matters (a test).
    bool Write(const uint8_t* data, size_t count) override;
    uint64_t Written() const { return m_written; }
    // Records the size of every write in *pieces and, unless null, appends the bytes to
    // *bytes (a member decoded into memory, to be written later as it came).
    void Record(std::vector<uint8_t>* bytes, std::vector<size_t>* pieces)
    {
        m_kept = bytes;
        m_pieces = pieces;
    }
    // Once *stop is set, writes fail as cancelled.
    void StopWhen(const std::atomic<bool>* stop) { m_stop = stop; }

    bool overflow = false;    // the member gave more than its declared size
    bool writeFailed = false; // the file would not take the bytes (a full disk)
    bool cancelled = false;   // the prompt asked to stop

private:
    platform::FileHandle m_file;
    uint64_t m_limit;
    CArchivePrompt* m_prompt;
    uint64_t m_written = 0;
    std::vector<uint8_t>* m_kept = nullptr;
    std::vector<size_t>* m_pieces = nullptr;
    const std::atomic<bool>* m_stop = nullptr;
};
