#include "msi/CabinetJob.h"

#include "common/Utf.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

constexpr std::size_t OutputKept = 1 << 16; // the tail of a run's output that is kept for its message

bool IsProgressLine(const std::string& line, std::size_t& files, std::uint64_t& bytes)
{
    unsigned long long packed = 0, total = 0, read = 0;
    if (std::sscanf(line.c_str(), "Packed %llu of %llu files, %llu bytes", &packed, &total, &read) != 3)
        return false;
    files = static_cast<std::size_t>(packed);
    bytes = read;
    return true;
}

bool IsFileReport(const std::string& line)
{
    return line.starts_with("Hash ") || line.starts_with("Image ") || line.starts_with("Stored ");
}

std::string TrimLine(std::string line)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.pop_back();
    return line;
}

} // namespace

std::string CabinetMakerMessage(const std::string& output)
{
    std::string own;
    std::string last;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        const std::string line = TrimLine(output.substr(start, end - start));
        start = end + 1;
        std::size_t files = 0;
        std::uint64_t bytes = 0;
        if (line.empty() || IsProgressLine(line, files, bytes) || IsFileReport(line))
            continue;
        if (line.starts_with("makecab:"))
            own += (own.empty() ? "" : " ") + line;
        last = line;
    }
    return own.empty() ? last : own;
}

CCabinetJob::CCabinetJob(std::wstring maker, std::wstring workingFolder)
    : m_maker(std::move(maker)), m_workingFolder(std::move(workingFolder))
{
}

CCabinetJob::~CCabinetJob()
{
    if (m_process)
        Stop();
}

void CCabinetJob::Add(CabinetRun run)
{
    m_runs.push_back(std::move(run));
}

Result CCabinetJob::Start()
{
    m_started = true;
    m_current = 0;
    return m_runs.empty() ? Result::Ok() : StartRun(0);
}

Result CCabinetJob::StartRun(std::size_t index)
{
    const CabinetRun& run = m_runs[index];
    m_current = index;
    m_runFiles = 0;
    m_runBytes = 0;
    m_pending.clear();
    m_messages.clear();
    const std::wstring cabinet = run.cabinetPath;
    if (!DeleteFileW(cabinet.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
        m_failure = Result::LastError(L"Unable to remove the old cabinet " + cabinet);
        return m_failure;
    }
    // The output file, inherited as the run's standard output and error.
    m_outputPath = run.ddfPath + L".out";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    UniqueFile output(CreateFileW(m_outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    m_outputReader.reset(CreateFileW(m_outputPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                     FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::wstring command = L"\"" + m_maker + L"\" /f \"" + run.ddfPath + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (output) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = nullptr;
        startup.hStdOutput = output.get();
        startup.hStdError = output.get();
    }
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(m_maker.c_str(), command.data(), nullptr, nullptr, output ? TRUE : FALSE,
                        CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS, nullptr, m_workingFolder.c_str(), &startup,
                        &process)) {
        m_failure = Result::LastError(L"Create Process Fail");
        return m_failure;
    }
    CloseHandle(process.hThread);
    m_process.reset(process.hProcess);
    return Result::Ok();
}

void CCabinetJob::ReadOutput()
{
    if (!m_outputReader)
        return;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(m_outputReader.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        m_pending.append(buffer, got);
        std::size_t end;
        while ((end = m_pending.find('\n')) != std::string::npos) {
            const std::string line = TrimLine(m_pending.substr(0, end));
            m_pending.erase(0, end + 1);
            std::size_t files = 0;
            std::uint64_t bytes = 0;
            unsigned long index = 0, parts[4] = {};
            const bool ofRun = m_current < m_runs.size();
            const auto global = [&] { return m_runs[m_current].firstFile + index; };
            const auto inRun = [&] { return ofRun && index < m_runs[m_current].files; };
            if (IsProgressLine(line, files, bytes)) {
                m_runFiles = files;
                m_runBytes = bytes;
            } else if (IsFileReport(line)) {
                if (std::sscanf(line.c_str(), "Hash %lu %lu %lu %lu %lu", &index, &parts[0], &parts[1], &parts[2],
                                &parts[3]) == 5 &&
                    inRun())
                    m_reports.hashes[global()] = {static_cast<int>(parts[0]), static_cast<int>(parts[1]),
                                                  static_cast<int>(parts[2]), static_cast<int>(parts[3])};
                else if (std::sscanf(line.c_str(), "Image %lu", &index) == 1 && inRun())
                    m_reports.images.insert(global());
                else if (std::sscanf(line.c_str(), "Stored %lu", &index) == 1 && inRun())
                    m_reports.stored.insert(global());
            } else if (!line.empty() && m_messages.size() < 64) {
                m_messages.push_back(line);
            }
        }
        if (m_pending.size() > OutputKept)
            m_pending.erase(0, m_pending.size() - OutputKept);
    }
}

Result CCabinetJob::EndRun()
{
    DWORD exitCode = 1;
    GetExitCodeProcess(m_process.get(), &exitCode);
    m_process.reset();
    ReadOutput();
    std::string output;
    for (const std::string& line : m_messages)
        output += line + "\n";
    output += m_pending;
    m_outputReader.reset();
    DeleteFileW(m_outputPath.c_str());
    if (exitCode == 0)
        return Result::Ok();
    const std::string message = CabinetMakerMessage(output);
    m_failure = Result::Failure(exitCode, L"the cabinet maker failed with exit code " + std::to_wstring(exitCode) +
                                              (message.empty() ? std::wstring() : L": " + FromUtf8(message)));
    return m_failure;
}

bool CCabinetJob::Poll()
{
    if (!m_process)
        return false;
    ReadOutput();
    if (WaitForSingleObject(m_process.get(), 0) != WAIT_OBJECT_0)
        return true;
    if (!EndRun()) {
        RemoveOutputs();
        return false;
    }
    if (m_current + 1 >= m_runs.size()) {
        m_current = m_runs.size();
        return false;
    }
    if (!StartRun(m_current + 1)) {
        RemoveOutputs();
        return false;
    }
    return true;
}

Result CCabinetJob::Wait(const std::function<bool()>& tick, unsigned intervalMs)
{
    if (!m_started)
        return Result::Failure(ERROR_INVALID_FUNCTION, L"the cabinet maker was not started");
    while (m_process) {
        if (WaitForSingleObject(m_process.get(), intervalMs) == WAIT_TIMEOUT) {
            ReadOutput();
            if (tick && !tick()) {
                Stop();
                return Result::Failure(ERROR_CANCELLED, L"the cabinet maker was stopped");
            }
            continue;
        }
        (void)Poll();
    }
    if (!m_failure)
        return m_failure;
    if (m_current < m_runs.size())
        return Result::Failure(ERROR_GEN_FAILURE, L"the cabinet maker failed");
    return Result::Ok();
}

void CCabinetJob::Stop()
{
    if (m_process) {
        TerminateProcess(m_process.get(), 1);
        WaitForSingleObject(m_process.get(), INFINITE);
        m_process.reset();
    }
    m_outputReader.reset();
    if (!m_outputPath.empty())
        DeleteFileW(m_outputPath.c_str());
    RemoveOutputs();
}

void CCabinetJob::RemoveOutputs()
{
    for (const CabinetRun& run : m_runs)
        DeleteFileW(run.cabinetPath.c_str());
}

CabinetJobProgress CCabinetJob::Progress() const
{
    CabinetJobProgress progress;
    for (std::size_t i = 0; i < m_runs.size(); ++i) {
        progress.filesTotal += m_runs[i].files;
        progress.bytesTotal += m_runs[i].bytes;
        if (i < m_current || (m_started && m_current >= m_runs.size())) {
            progress.filesPacked += m_runs[i].files;
            progress.bytesPacked += m_runs[i].bytes;
        }
    }
    if (m_current < m_runs.size()) {
        progress.filesPacked += std::min(m_runFiles, m_runs[m_current].files);
        progress.bytesPacked += std::min(m_runBytes, m_runs[m_current].bytes);
    }
    return progress;
}
