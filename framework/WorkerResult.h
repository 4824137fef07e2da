#pragma once
// Results of a worker's run that every worker shares. The successes (2 and 3) are named by each
// worker for what they lead to.
namespace WorkerResult {
constexpr int kNotFinished = 0; // nothing done: the dialog closed before the work ended
constexpr int kFailed = 1;
} // namespace WorkerResult
