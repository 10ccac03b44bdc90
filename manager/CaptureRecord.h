#pragma once
// The steps of one run as they went: when the capture started, how long each
// step took, the setup program and its exit code. The command line and the
// wizard's pages fill it as the steps run (on the window thread, around the
// workers); the capture report shows it.
#include <windows.h>

#include <array>
#include <cstddef>
#include <optional>
#include <string>

enum class CaptureStep { FirstSnapshot, Setup, SecondSnapshot, Comparison, ProjectFile, Package };
inline constexpr std::size_t CaptureStepCount = 6;

struct CaptureRecord
{
    // Local time at which the first step of the run began; empty until then.
    std::optional<SYSTEMTIME> Started;
    // Milliseconds each step took, by CaptureStep; empty for a step this run did not run.
    std::array<std::optional<ULONGLONG>, CaptureStepCount> Durations{};
    std::wstring SetupProgram;
    std::optional<DWORD> SetupExitCode;

    void Begin(CaptureStep step)
    {
        if (!Started) {
            SYSTEMTIME now{};
            GetLocalTime(&now);
            Started = now;
        }
        m_begun[Index(step)] = GetTickCount64();
    }
    // The step's time since its Begin; a step never begun stays not run.
    void End(CaptureStep step)
    {
        if (const ULONGLONG begun = m_begun[Index(step)]; begun != 0)
            Durations[Index(step)] = GetTickCount64() - begun;
    }
    // Forgets everything: a new capture or build starts.
    void Clear() { *this = CaptureRecord{}; }

    static constexpr std::size_t Index(CaptureStep step) noexcept { return static_cast<std::size_t>(step); }

private:
    std::array<ULONGLONG, CaptureStepCount> m_begun{};
};
