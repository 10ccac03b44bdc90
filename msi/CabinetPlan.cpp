#include "msi/CabinetPlan.h"

#include "common/Config.h"

#include <cwctype>

namespace {

constexpr std::uint64_t BlockSize = 32768;
// Per block: the data block header (8 bytes), MSZIP's "CK" and the stored
// block's header (5 bytes each time a block does not compress), with room to spare.
constexpr std::uint64_t BlockFraming = 24;
// Per file: the directory entry (16 bytes) and its name with the terminator.
constexpr std::uint64_t FileEntry = 16 + 1;

constexpr std::uint64_t LowestSetting = 64ull << 10;
constexpr std::uint64_t HighestSetting = 2000ull << 20;

} // namespace

std::uint64_t CabinetBound(std::uint64_t fileSize, std::size_t nameLength)
{
    const std::uint64_t blocks = (fileSize + BlockSize - 1) / BlockSize + 1;
    return fileSize + blocks * BlockFraming + FileEntry + nameLength;
}

CabinetPlan PlanCabinets(const std::vector<CabinetFileSize>& files, const CabinetLimits& limits)
{
    CabinetPlan plan;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::uint64_t bound = CabinetBound(files[i].size, files[i].nameLength);
        if (plan.cabinets.empty() || plan.cabinets.back().bound + bound > limits.cabinetLimit) {
            PlannedCabinet next;
            next.diskId = static_cast<int>(plan.cabinets.size()) + 1;
            next.firstFile = i;
            next.bound = CabinetHeaderBound;
            plan.cabinets.push_back(next);
        }
        PlannedCabinet& cabinet = plan.cabinets.back();
        cabinet.bound += bound;
        ++cabinet.fileCount;
        cabinet.lastSequence = static_cast<int>(i) + 1;
    }
    for (const PlannedCabinet& cabinet : plan.cabinets)
        plan.totalBound += cabinet.bound;
    plan.external = plan.totalBound > limits.embedLimit;
    return plan;
}

std::vector<std::size_t> PackedOrder(const CabinetPlan& plan, const std::set<std::size_t>& stored, std::size_t count)
{
    std::vector<std::size_t> order;
    order.reserve(count);
    std::size_t next = 0; // the cabinets follow one another from the first file
    for (const PlannedCabinet& cabinet : plan.cabinets) {
        if (cabinet.firstFile != next || cabinet.fileCount > count - next)
            return {};
        next += cabinet.fileCount;
        for (const bool last : {false, true})
            for (std::size_t i = cabinet.firstFile; i < next; ++i)
                if (stored.contains(i) == last)
                    order.push_back(i);
    }
    if (next != count)
        return {};
    return order;
}

std::vector<std::wstring> ExternalCabinetNames(std::size_t count, const std::function<bool(const std::wstring&)>& taken)
{
    std::vector<std::wstring> names;
    // "data" and four digits still make an 8.3 name.
    for (unsigned number = 1; names.size() < count && number <= 9999; ++number) {
        std::wstring name = L"data" + std::to_wstring(number) + L".cab";
        if (!taken || !taken(name))
            names.push_back(std::move(name));
    }
    return names;
}

std::optional<std::uint64_t> ParseSizeSetting(const std::wstring& text)
{
    std::size_t i = 0;
    while (i < text.size() && std::iswspace(text[i]))
        ++i;
    std::uint64_t value = 0;
    std::size_t digits = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i, ++digits) {
        if (digits >= 12)
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(text[i] - L'0');
    }
    if (digits == 0)
        return std::nullopt;
    if (i < text.size()) {
        switch (std::towupper(text[i])) {
        case L'K': value <<= 10; ++i; break;
        case L'M': value <<= 20; ++i; break;
        case L'G': value <<= 30; ++i; break;
        default: break;
        }
    }
    while (i < text.size() && std::iswspace(text[i]))
        ++i;
    if (i != text.size())
        return std::nullopt;
    return value;
}

CabinetLimits ReadCabinetLimits(const std::wstring& configFile, std::wstring& problem)
{
    problem.clear();
    CabinetLimits limits;
    const auto read = [&](const wchar_t* key, std::uint64_t& target) {
        const std::wstring text = ReadConfigString(configFile, L"PackageBuild", key, L"");
        if (text.empty())
            return;
        const std::optional<std::uint64_t> value = ParseSizeSetting(text);
        if (!value || *value < LowestSetting || *value > HighestSetting) {
            if (problem.empty())
                problem = std::wstring(key) + L"=" + text +
                          L" is not a size from 64K to 2000M; the default is used";
            return;
        }
        target = *value;
    };
    read(L"CabinetSizeLimit", limits.cabinetLimit);
    read(L"EmbeddedCabinetLimit", limits.embedLimit);
    return limits;
}
