#pragma once
// How the files of a package are spread over cabinets, decided before any
// cabinet is made: the files in sequence order fill cabinets up to a limit,
// and the cabinets are embedded in the package while the package stays well
// below the 2 GB a Windows Installer database can hold, and written beside the
// package beyond that. Pure functions: no file is touched here.
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

// The size of a cabinet's compressed data never passes what this returns for
// its files: MSZIP stores a block that does not compress as it is, with a few
// bytes of framing per 32 KiB block, and every file has a directory entry.
std::uint64_t CabinetBound(std::uint64_t fileSize, std::size_t nameLength);
// The cabinet's own header (with the reserve the package build asks for).
inline constexpr std::uint64_t CabinetHeaderBound = 6144 + 64;

struct CabinetLimits
{
    // Compressed data per cabinet; the format allows 2 GB.
    std::uint64_t cabinetLimit = 1536ull << 20;
    // All cabinets together, while they are embedded in the package.
    std::uint64_t embedLimit = 1536ull << 20;
};

struct CabinetFileSize
{
    std::uint64_t size = 0;
    std::size_t nameLength = 0; // of the name inside the cabinet
};

struct PlannedCabinet
{
    int diskId = 0;          // the Media row's DiskId, 1..n
    int lastSequence = 0;    // the Media row's LastSequence: the cabinet's last file
    std::size_t firstFile = 0; // index of its first file in the list
    std::size_t fileCount = 0;
    std::uint64_t bound = 0;  // its size at most
};

struct CabinetPlan
{
    std::vector<PlannedCabinet> cabinets;
    bool external = false; // written beside the package rather than embedded
    std::uint64_t totalBound = 0;
};

// The files, in sequence order (sequence = index + 1), over cabinets: a file
// goes into the current cabinet while that stays within the limit, else it
// opens the next one; a file larger than the limit gets a cabinet to itself.
// No files: no cabinet.
CabinetPlan PlanCabinets(const std::vector<CabinetFileSize>& files, const CabinetLimits& limits);

// The order of `count` files once the cabinets are made (old indexes, new
// order): in each cabinet of the plan, the files its maker stored
// uncompressed (`stored`, by index) come after the others, each group in its
// listed order. Empty when the plan does not cover the files once each.
std::vector<std::size_t> PackedOrder(const CabinetPlan& plan, const std::set<std::size_t>& stored, std::size_t count);

// The n names of external cabinets: data1.cab, data2.cab, ... (8.3 names), a
// name passed over when `taken` says another file uses it.
std::vector<std::wstring> ExternalCabinetNames(std::size_t count, const std::function<bool(const std::wstring&)>& taken);

// A size setting: a number of bytes with an optional K, M or G (binary units),
// for example "1536M". Empty when the text is not such a size.
std::optional<std::uint64_t> ParseSizeSetting(const std::wstring& text);

// The limits of CorvaneRepackager.ini, section PackageBuild, keys CabinetSizeLimit
// and EmbeddedCabinetLimit; a missing key keeps its default. A value that is
// not a size, below 64K or above 2000M is refused: `problem` names it and the
// default stays.
CabinetLimits ReadCabinetLimits(const std::wstring& configFile, std::wstring& problem);
