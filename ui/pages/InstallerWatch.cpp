#include "ui/pages/InstallerWatch.h"

#include "common/StopToken.h"

#include <cwctype>

void CInstallerWatch::CheckProcess(const ProcessEntry& process, ProcessMap& map)
{
    std::wstring name = process.name;
    for (wchar_t& c : name)
        c = static_cast<wchar_t>(std::towlower(c));
    if (name == L"msiexec.exe")
        map.emplace(process.id, name);
}

bool CInstallerWatch::CheckAll(ProcessMap& map)
{
    std::vector<ProcessEntry> processes;
    if (!ListProcesses(processes))
        return false;
    for (const ProcessEntry& process : processes)
        if (process.id != 0)
            CheckProcess(process, map);
    return true;
}

bool CInstallerWatch::TakeBefore()
{
    return CheckAll(m_before);
}

int CInstallerWatch::Monitor()
{
    while (m_monitoring.load() && !StopRequested()) {
        if (!CheckAll(m_during))
            return 0;
        Sleep(3);
    }
    return 1;
}

bool CInstallerWatch::InstallerStarted()
{
    for (auto it = m_before.begin(); it != m_before.end();) {
        if (m_during.erase(it->first) > 0)
            it = m_before.erase(it);
        else
            ++it;
    }
    return !m_during.empty();
}

void CInstallerWatch::Clear()
{
    m_before.clear();
    m_during.clear();
}
