#include "common/SetupProcess.h"

#include "common/Log.h"
#include "common/Utf.h"

#include <algorithm>

namespace {

// The completion key of the job's messages at its port.
constexpr ULONG_PTR JobKey = 1;

std::wstring Code(DWORD error)
{
    return L"(error " + std::to_wstring(error) + L")";
}

} // namespace

std::wstring ProcessImageName(DWORD id)
{
    UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    wchar_t path[MAX_PATH * 2] = {};
    DWORD size = static_cast<DWORD>(std::size(path));
    if (!process || !QueryFullProcessImageNameW(process.get(), 0, path, &size) || size == 0)
        return L"<unknown>";
    const std::wstring full(path, size);
    const std::size_t slash = full.find_last_of(L"\\/");
    return slash == std::wstring::npos ? full : full.substr(slash + 1);
}

std::wstring DescribePrograms(const std::vector<RunningProgram>& programs)
{
    std::wstring text;
    for (const RunningProgram& program : programs) {
        if (!text.empty())
            text += L", ";
        text += program.name + L" (" + std::to_wstring(program.id) + L")";
    }
    return text;
}

bool CSetupProcess::CreateJob()
{
    m_job.reset(CreateJobObjectW(nullptr, nullptr));
    m_port.reset(m_job ? CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1) : nullptr);
    if (!m_job || !m_port) {
        LogError(L"CSetupProcess: Unable to create a job object or its completion port " + Code(GetLastError()));
        m_job.reset();
        m_port.reset();
        return false;
    }
    JOBOBJECT_ASSOCIATE_COMPLETION_PORT association{};
    association.CompletionKey = reinterpret_cast<PVOID>(JobKey);
    association.CompletionPort = m_port.get();
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_BREAKAWAY_OK;
    if (!SetInformationJobObject(m_job.get(), JobObjectAssociateCompletionPortInformation, &association,
                                 sizeof association) ||
        !SetInformationJobObject(m_job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        LogError(L"CSetupProcess: Unable to set up the job object " + Code(GetLastError()));
        m_job.reset();
        m_port.reset();
        return false;
    }
    return true;
}

bool CSetupProcess::JoinJob(HANDLE process, const std::wstring& what)
{
    if (!CreateJob())
        return false;
    if (!AssignProcessToJobObject(m_job.get(), process)) {
        LogError(L"CSetupProcess: " + what + L" cannot be put into a job object " + Code(GetLastError()) +
                 L"; only it is waited for, not the programs it starts");
        m_job.reset();
        m_port.reset();
        return false;
    }
    return true;
}

bool CSetupProcess::Start(std::wstring commandLine, const std::wstring& folder)
{
    m_allEnded = false;
    m_seen.clear();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION created{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &created)) {
        const DWORD error = GetLastError();
        LogError(L"CSetupProcess: Unable to start " + commandLine + L" " + Code(error));
        SetLastError(error);
        return false;
    }
    m_process.reset(created.hProcess);
    UniqueKernelHandle thread(created.hThread);
    m_processId = created.dwProcessId;
    (void)JoinJob(m_process.get(), commandLine);
    // Joined or not, the setup runs now; what it starts inherits the job.
    ResumeThread(thread.get());
    return true;
}

void CSetupProcess::Follow(UniqueKernelHandle process)
{
    m_allEnded = false;
    m_seen.clear();
    m_process = std::move(process);
    m_processId = m_process ? GetProcessId(m_process.get()) : 0;
    if (m_process)
        (void)JoinJob(m_process.get(), L"The launched setup");
}

long CSetupProcess::ActiveProcesses() const
{
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    if (!QueryInformationJobObject(m_job.get(), JobObjectBasicAccountingInformation, &accounting, sizeof accounting,
                                   nullptr))
        return -1;
    return static_cast<long>(accounting.ActiveProcesses);
}

bool CSetupProcess::TakeMessages(DWORD milliseconds)
{
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        DWORD remaining = milliseconds;
        if (milliseconds != INFINITE) {
            const ULONGLONG spent = GetTickCount64() - start;
            remaining = spent >= milliseconds ? 0 : static_cast<DWORD>(milliseconds - spent);
        }
        DWORD message = 0;
        ULONG_PTR key = 0;
        LPOVERLAPPED detail = nullptr;
        if (!GetQueuedCompletionStatus(m_port.get(), &message, &key, &detail, remaining))
            return false; // nothing more within the time
        if (key != JobKey)
            continue;
        // For the process messages the "overlapped" pointer is the process id.
        const DWORD id = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(detail));
        switch (message) {
        case JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO:
            return true;
        case JOB_OBJECT_MSG_NEW_PROCESS:
            m_seen.insert(id);
            break;
        case JOB_OBJECT_MSG_EXIT_PROCESS:
        case JOB_OBJECT_MSG_ABNORMAL_EXIT_PROCESS:
            m_seen.erase(id);
            break;
        default:
            break;
        }
    }
}

bool CSetupProcess::WaitForAll(DWORD milliseconds)
{
    if (m_allEnded || !m_process)
        return true;
    if (!m_job) {
        m_allEnded = WaitForSingleObject(m_process.get(), milliseconds) == WAIT_OBJECT_0;
        return m_allEnded;
    }
    // A job emptied before its port was read has its message queued; the
    // accounting count covers a message the port could not deliver.
    m_allEnded = TakeMessages(milliseconds) || ActiveProcesses() == 0;
    if (m_allEnded)
        m_seen.clear();
    return m_allEnded;
}

bool CSetupProcess::SetupHasEnded() const
{
    return !m_process || WaitForSingleObject(m_process.get(), 0) == WAIT_OBJECT_0;
}

bool CSetupProcess::ExitCode(DWORD& code) const
{
    code = 0;
    if (!m_process || !SetupHasEnded())
        return false;
    return GetExitCodeProcess(m_process.get(), &code) != FALSE;
}

std::vector<RunningProgram> CSetupProcess::StillRunning() const
{
    std::vector<RunningProgram> running;
    if (m_allEnded)
        return running;
    std::vector<DWORD> ids;
    if (m_job) {
        // Room for 256 processes; a setup has fewer.
        std::vector<ULONG_PTR> buffer(2 + 256);
        auto* list = reinterpret_cast<JOBOBJECT_BASIC_PROCESS_ID_LIST*>(buffer.data());
        if (QueryInformationJobObject(m_job.get(), JobObjectBasicProcessIdList, list,
                                      static_cast<DWORD>(buffer.size() * sizeof(ULONG_PTR)), nullptr)) {
            for (DWORD i = 0; i < list->NumberOfProcessIdsInList && i < 256; ++i)
                ids.push_back(static_cast<DWORD>(list->ProcessIdList[i]));
        } else {
            // What the port has reported started and not yet ended.
            ids.assign(m_seen.begin(), m_seen.end());
        }
    } else if (m_process && !SetupHasEnded()) {
        ids.push_back(m_processId);
    }
    for (DWORD id : ids)
        running.push_back({id, ProcessImageName(id)});
    return running;
}
