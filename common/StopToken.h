#pragma once
// Cancellation of the long operations (file walk, registry export,
// comparison, project writer, package build).
//
// A worker installs its stop token on its own thread with CStopScope for the
// time it runs its operation; the operations below the pages never take a
// token as a parameter, they ask StopRequested() between entries. An
// operation that sees the request cleans up what a later step would trust,
// writes one log line and returns failure. On a thread without a scope
// StopRequested() is always false, so the command line and direct calls run
// to the end as before.
//
//     std::stop_source source;
//     CStopScope scope(source.get_token()); // on the thread that does the work
//     ... source.request_stop() from any thread ...
#include <stop_token>

class CStopScope
{
public:
    // Installs `token` as the current thread's token until the scope ends; the
    // token it replaces comes back then.
    explicit CStopScope(std::stop_token token);
    ~CStopScope();
    CStopScope(const CStopScope&) = delete;
    CStopScope& operator=(const CStopScope&) = delete;

private:
    std::stop_token m_token;
    const std::stop_token* m_previous;
};

// True when the current thread's token asks to stop.
bool StopRequested() noexcept;
// The current thread's token (one that never stops when no scope is active),
// for a loop that checks it many times.
std::stop_token CurrentStopToken();
