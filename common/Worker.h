#pragma once
// A page's worker thread: runs one long operation (a capture, the comparison,
// the project writer, the build, a tree loader) away from the window thread.
//
// How a page uses it (every page has one, CPropertyPage::Worker() in
// ui/framework/PropertyPage.h):
//   - A handler starts the operation and a window timer (50 or 100 ms):
//         Worker().Start([manager, details] { return manager->Coordinator().CaptureSnapshot(details); });
//         SetTimer(Window(), TimerId, 100, nullptr);
//   - The timer polls: IsRunning() is the "current worker" and IsDone() the
//     "done" value; once done, Result() holds what the operation returned.
//     Start() may then run the next operation (the comparison after the
//     capture) on the same object.
//   - The page never waits for it. Cancel does: the sheet asks every page's
//     worker to stop and waits while the windows keep painting; and a page's
//     window is not destroyed before its worker has ended.
//
// On the worker thread the operation runs with COM initialised (multithreaded
// apartment; the XML documents are free-threaded, so documents the window
// thread created may be used there, one thread at a time) and with the
// worker's stop token installed (StopToken.h), which the long operations
// check between entries. The operation must not touch windows: it reports
// through the progress state (Progress.h) and its result. An exception it
// throws is logged and gives the result 0. The object itself is used from
// the thread that owns it (the window thread); only the operation runs on
// the worker.
#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>

class CWorker
{
public:
    using Operation = std::function<int()>;

    CWorker() = default;
    // Asks the operation to stop and joins the thread.
    ~CWorker();
    CWorker(const CWorker&) = delete;
    CWorker& operator=(const CWorker&) = delete;

    // Starts `operation` on a new thread; a finished earlier thread is joined
    // first. False, with nothing started, while an operation still runs or
    // when no thread could be made (logged).
    bool Start(Operation operation);

    // Started and not yet done (the current worker).
    bool IsRunning() const noexcept { return m_running.load(); }
    // The last operation started has returned; set after its result.
    bool IsDone() const noexcept { return m_done.load(); }
    // What the last operation returned (1 or 0), valid once IsDone().
    int Result() const noexcept { return m_result.load(); }

    // Asks the running operation to stop (no effect when none runs).
    void RequestStop() noexcept;
    // Blocks until the thread has ended. Not on a window thread whose windows
    // the operation might send messages to: use WaitWhilePainting there.
    void Join();
    // Waits until the thread has ended, dispatching only paint and sent
    // messages meanwhile (no input, no timers), for at most `timeoutMs`.
    // True when it ended (and was joined).
    bool WaitWhilePainting(DWORD timeoutMs = INFINITE);

private:
    void Run(const Operation& operation, std::stop_token stop) noexcept;

    std::jthread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_done{false};
    std::atomic<int> m_result{0};
};
