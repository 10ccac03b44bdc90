#pragma once
// The cabinet job of a package build: how the files are spread over
// cabinets, their directive files, the runs of the cabinet maker (beside the
// rows or after them), and the cabinets stored in the package or placed
// beside it. A cabinet not delivered is removed when the job goes.
#include "common/Result.h"
#include "msi/CabinetDirectives.h"
#include "msi/CabinetJob.h"
#include "msi/CabinetPlan.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct BuildContext;

class CPackageCabinets
{
public:
    // Receives the work done and the whole work while the cabinets are made.
    using Paced = std::function<void(std::uint64_t, std::uint64_t)>;

    CPackageCabinets(BuildContext& build, std::wstring cabinetMaker,
                     std::function<void(const std::wstring&)> progressReport);
    ~CPackageCabinets();
    CPackageCabinets(const CPackageCabinets&) = delete;
    CPackageCabinets& operator=(const CPackageCabinets&) = delete;

    // Spreads the build's files over cabinets and names them; a package whose
    // files are too large to embed gets its cabinets beside it (a note says so).
    void Plan(const std::wstring& packagePath);
    // The directive files and the batch file; a failure after its log line.
    Result WriteDirectives();
    // Starts the cabinet maker; a failure after its log line.
    Result Start();
    // Lets the cabinet maker go on with its next run; never waits.
    void Poll(const Paced& paced);
    // Waits for every cabinet; a failure after one log line when one could
    // not be made, or without one when the thread is asked to stop.
    Result Finish(const Paced& paced);
    // What the cabinet maker reported about the files, by file index.
    const CabinetReports& Reports() const;
    // The embedded cabinets as streams of the committed package; a failure
    // after its log line.
    Result Store(const std::wstring& package);
    // The external cabinets' moves from their temporary names to their own.
    std::vector<std::pair<std::wstring, std::wstring>> PublishMoves() const;
    // Removes the cabinets of the replaced package that this one does not use.
    void RemoveUnusedEarlierCabinets() const;
    // Ends the cabinet maker and removes the cabinets not delivered.
    void Discard();

    const CabinetPlan& Layout() const noexcept { return m_plan; }
    // Media.Cabinet of each planned cabinet ("#" and the stream name when embedded).
    const std::vector<std::wstring>& Names() const noexcept { return m_names; }

private:
    BuildContext& m_build;
    std::wstring m_cabinetMaker;
    std::function<void(const std::wstring&)> m_progressReport;
    CabinetPlan m_plan;
    std::vector<std::wstring> m_names;
    DirectiveFiles m_directives;
    std::vector<std::wstring> m_earlierCabinets; // external cabinets of the package this build replaces
    std::unique_ptr<CCabinetJob> m_job;
};
