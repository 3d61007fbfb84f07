// How many threads one command's work may use: the processors this process may run on (its
// affinity, as nproc counts them), at most kMaxWorkers. The environment variable
// TAVREL_THREADS=n sets it (1: everything runs on the calling thread, for comparison runs);
// without it the [Option] Threads setting does, through SetWorkerSetting (0 follows the
// machine).
#pragma once

namespace platform
{

inline constexpr unsigned kMaxWorkers = 8;

// The threads to use, 1 to kMaxWorkers.
unsigned WorkerCount();
// The setting's value: 0 follows the machine, n > 0 uses n (capped).
void SetWorkerSetting(unsigned count);

} // namespace platform
