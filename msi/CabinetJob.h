#pragma once
// Runs the cabinet maker once per cabinet, one run after another, each as
//   "<maker>" /f "<directive file>"
// in the working folder, with its standard output and error caught in a file
// beside the directive file. The output tells how far the running cabinet has
// come ("Packed <files> of <total> files, <bytes> bytes") and, when a run
// fails, why (its "makecab: ..." lines). Not thread-safe: one thread starts,
// polls and waits.
#include "common/Result.h"
#include "common/UniqueHandle.h"

#include <cstddef>
#include <cstdint>
#include <array>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

struct CabinetRun
{
    std::wstring ddfPath;     // the directive file
    std::wstring cabinetPath; // what it writes, removed again when a run fails or is stopped
    std::size_t files = 0;    // what it packs, for the progress
    std::uint64_t bytes = 0;
    std::size_t firstFile = 0; // the index its first file has among all runs' files
};

// What the cabinet maker told about the files while it read them, by the
// file's index among all runs' files. A cabinet maker that reports nothing
// leaves all empty.
struct CabinetReports
{
    // The MD5 digests ("Hash <index> <four numbers>"), as MsiFileHash keeps them.
    std::map<std::size_t, std::array<int, 4>> hashes;
    // The files that begin "MZ" ("Image <index>").
    std::set<std::size_t> images;
    // The files stored uncompressed after the others of their cabinet
    // ("Stored <index>"), in their order.
    std::set<std::size_t> stored;
};

struct CabinetJobProgress
{
    std::size_t filesPacked = 0;
    std::size_t filesTotal = 0;
    std::uint64_t bytesPacked = 0;
    std::uint64_t bytesTotal = 0;
};

class CCabinetJob
{
public:
    CCabinetJob(std::wstring maker, std::wstring workingFolder);
    ~CCabinetJob();
    CCabinetJob(const CCabinetJob&) = delete;
    CCabinetJob& operator=(const CCabinetJob&) = delete;

    void Add(CabinetRun run);
    bool Empty() const noexcept { return m_runs.empty(); }

    // Starts the first run; fails (as Failure) when the maker cannot start.
    Result Start();
    // Starts the next run when the current one has ended well; never waits.
    // True while a run is still going.
    bool Poll();
    // Waits for every run, calling `tick` about every `intervalMs` meanwhile;
    // a tick that returns false stops the job (ERROR_CANCELLED). Ok when
    // every cabinet was made, else the first failure.
    Result Wait(const std::function<bool()>& tick, unsigned intervalMs);
    // Ends the running cabinet maker and removes what the runs wrote.
    void Stop();
    bool Started() const noexcept { return m_started; }
    bool Running() const noexcept { return static_cast<bool>(m_process); }

    CabinetJobProgress Progress() const;
    // The first failure, its text for the log: "the cabinet maker failed with
    // exit code 1: makecab: ..." (the exit code as its code), or "Create
    // Process Fail (error 2: ...)"; Ok while nothing failed.
    const Result& Failure() const noexcept { return m_failure; }
    const CabinetReports& Reports() const noexcept { return m_reports; }

private:
    Result StartRun(std::size_t index);
    // Reads the run's new output; keeps the last progress line and the messages.
    void ReadOutput();
    // Collects the ended run's exit code; a failure (kept as Failure) when it failed.
    Result EndRun();
    void RemoveOutputs();

    std::wstring m_maker;
    std::wstring m_workingFolder;
    std::vector<CabinetRun> m_runs;
    std::size_t m_current = 0; // the run going or next
    bool m_started = false;
    UniqueKernelHandle m_process;
    UniqueFile m_outputReader;
    std::wstring m_outputPath;
    std::string m_pending;      // output not yet ending in a line feed
    std::vector<std::string> m_messages;
    std::size_t m_runFiles = 0; // progress of the current run
    std::uint64_t m_runBytes = 0;
    Result m_failure = Result::Ok();
    CabinetReports m_reports;
};

// The cabinet maker's message in its output: its "makecab:" lines, else the
// last line that is not a progress line; empty when there is none.
std::string CabinetMakerMessage(const std::string& output);
