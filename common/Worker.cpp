#include "common/Worker.h"

#include "common/ComScope.h"
#include "common/Log.h"
#include "common/StopToken.h"
#include "common/Utf.h"

#include <objbase.h>

#include <exception>
#include <system_error>

CWorker::~CWorker()
{
    RequestStop();
    Join();
}

bool CWorker::Start(Operation operation)
{
    if (m_running.load())
        return false;
    Join();
    m_done.store(false);
    m_result.store(0);
    m_running.store(true);
    try {
        m_thread = std::jthread([this, operation = std::move(operation)](std::stop_token stop) {
            Run(operation, std::move(stop));
        });
    } catch (const std::system_error& e) {
        m_running.store(false);
        LogError(std::wstring(L"CWorker::Start: Unable to start the worker thread: ") + FromUtf8(e.what()));
        return false;
    }
    return true;
}

void CWorker::Run(const Operation& operation, std::stop_token stop) noexcept
{
    int result = 0;
    try {
        CComScope com(COINIT_MULTITHREADED);
        CStopScope scope(std::move(stop));
        result = operation();
    } catch (const std::exception& e) {
        LogError(std::wstring(L"CWorker::Run: the operation ended with an exception: ") + FromUtf8(e.what()));
        result = 0;
    } catch (...) {
        LogError(L"CWorker::Run: the operation ended with an unknown exception");
        result = 0;
    }
    // The result before done, done before running ends: a timer that sees the
    // worker gone sees its flag and its result.
    m_result.store(result);
    m_done.store(true);
    m_running.store(false);
}

void CWorker::RequestStop() noexcept
{
    m_thread.request_stop();
}

void CWorker::Join()
{
    if (m_thread.joinable())
        m_thread.join();
}

bool CWorker::WaitWhilePainting(DWORD timeoutMs)
{
    const ULONGLONG start = GetTickCount64();
    while (m_running.load()) {
        const ULONGLONG elapsed = GetTickCount64() - start;
        if (timeoutMs != INFINITE && elapsed >= timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_PAINT | QS_SENDMESSAGE);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT | PM_QS_SENDMESSAGE))
            DispatchMessageW(&message);
    }
    Join();
    return true;
}
