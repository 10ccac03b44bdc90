#include "msi/FileCollection.h"

#include "common/FileNames.h"
#include "common/FolderTokens.h"
#include "common/Log.h"
#include "common/Paths.h"
#include "common/Result.h"
#include "common/StopToken.h"
#include "common/UniqueHandle.h"
#include "common/Utf.h"
#include "common/Wow64.h"
#include "msi/BuildContext.h"
#include "msi/CabinetDirectives.h"
#include "msi/FileRules.h"
#include "msi/MsiPlatform.h"
#include "msi/MsiTables.h"

#include <msidefs.h>

#include <algorithm>
#include <optional>

namespace {

constexpr std::uint64_t CabinetFileLimit = 0x80000000ull; // 2 GiB: no file of this size fits a cabinet

// The read-only, hidden and system bits of a file's attributes as File.Attributes bits.
int FileRowAttributes(DWORD fileAttributes)
{
    int attributes = 0;
    if (fileAttributes & FILE_ATTRIBUTE_READONLY)
        attributes |= msidbFileAttributesReadOnly;
    if (fileAttributes & FILE_ATTRIBUTE_HIDDEN)
        attributes |= msidbFileAttributesHidden;
    if (fileAttributes & FILE_ATTRIBUTE_SYSTEM)
        attributes |= msidbFileAttributesSystem;
    return attributes;
}

// The attributes and size of a file to pack, without opening it (an open is
// a round trip to the server under Wine, and the cabinet maker opens every
// file anyway: a file it cannot read fails the build, naming the file). False,
// after its log line, when there is no such file to pack.
bool FindPackableFile(const std::wstring& realPath, bool x64Capture, WIN32_FILE_ATTRIBUTE_DATA& found)
{
    if (IsTemporaryOrLinkFile(realPath)) {
        LogError(L"CMSIHandler::AddFileRows: " + realPath + L" is a temporary file or a shell link; left out");
        return false;
    }
    // A capture of 64-bit Windows named System32 as itself.
    std::optional<CFsRedirectionOff> realFolders;
    if (x64Capture)
        realFolders.emplace();
    DWORD error = ERROR_SUCCESS;
    if (!GetFileAttributesExW(realPath.c_str(), GetFileExInfoStandard, &found))
        error = GetLastError();
    else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        error = ERROR_DIRECTORY;
    if (error == ERROR_SUCCESS)
        return true;
    LogError(L"CMSIHandler::AddFileRows: " + realPath + L" cannot be read" + Result::Suffix(error) + L"; left out");
    return false;
}

// Version and language, or the hash, of a file the cabinet maker did not
// report on, read here.
void ReadFileIdentity(const BuildContext& build, PackedFile& file)
{
    std::optional<CFsRedirectionOff> realFolders;
    if (build.x64Capture)
        realFolders.emplace();
    UniqueFile open(CreateFileW(file.realPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!open) {
        LogError(L"CMSIHandler::AddFileRows: no hash of " + file.realPath + Result::Suffix(GetLastError()));
        return;
    }
    switch (HashUnlessImage(open.get(), file.realPath, file.hash)) {
    case FileHashRead::Hashed:
        file.hashed = true;
        break;
    case FileHashRead::Image:
        // Without a version, hashed in pieces through the same handle (msi.dll
        // would map the whole file).
        if (!ReadFileVersionColumns(file.realPath, file.version, file.language)) {
            LARGE_INTEGER start{};
            file.hashed = SetFilePointerEx(open.get(), start, nullptr, FILE_BEGIN) &&
                          HashUnlessImage(open.get(), file.realPath, file.hash, true) == FileHashRead::Hashed;
        }
        break;
    case FileHashRead::Failed:
        break;
    }
}

// True, after its log line, when a file that opened cannot be packed.
bool Unpackable(BuildContext& build, const std::wstring& path, const std::wstring& real, std::uint64_t size)
{
    if (size >= CabinetFileLimit) {
        LogError(L"CMSIHandler::AddFileRows: " + real +
                 L" is 2 GiB or larger and cannot be stored in a cabinet; left out");
        return true;
    }
    if (!build.FitsCodePage(path)) {
        LogError(L"CMSIHandler::AddFileRows: " + real +
                 L" cannot be named in the package's code page; left out");
        return true;
    }
    std::string probe;
    if (!ToDdfText(real, build.ddfIsUtf8, probe) || !ToDdfText(LastComponent(path), build.ddfIsUtf8, probe)) {
        LogError(L"CMSIHandler::WriteCabinetList: " + real +
                 L" cannot be named in the cabinet maker's code page; left out");
        return true;
    }
    return false;
}

} // namespace

bool OnSystemDrive(const std::wstring& folder, const std::wstring& drive)
{
    if (folder.starts_with(L"%"))
        return true;
    if (drive.empty())
        return true;
    const std::wstring head = folder.substr(0, drive.size());
    const bool sameDrive = CompareStringOrdinal(head.c_str(), static_cast<int>(head.size()), drive.c_str(),
                                                static_cast<int>(drive.size()), TRUE) == CSTR_EQUAL;
    return sameDrive && (folder.size() == drive.size() || folder[drive.size()] == L'\\');
}

std::wstring LastComponent(const std::wstring& path)
{
    const auto slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring ParentOf(const std::wstring& path)
{
    const auto slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

void CollectFiles(BuildContext& build, const DirectoryChangeMap& files, bool keptOnRemoval)
{
    const auto leaveOut = [&](std::wstring real, const wchar_t* reason) {
        build.LeftOut(L"File", real, reason);
        build.results.leftOut.push_back(std::move(real));
        ++build.counts.FilesLeftOut;
    };
    for (const auto& [folder, paths] : files) {
        for (const std::wstring& path : paths) {
            if (StopRequested())
                return; // the build ends itself
            std::wstring real = path;
            ToRealPath(real, build.place.tokens);
            if (!OnSystemDrive(ParentOf(path), build.place.tokens.systemdrive)) {
                if (build.LeaveOutFolder(ParentOf(path)))
                    LogError(L"CMSIHandler::AddFileRows: " + ParentOf(path) +
                             L" is not on the system drive, where the package installs; its files are left out");
                LogError(L"CMSIHandler::AddFileRows: " + real + L" left out with its folder");
                leaveOut(real, L"on another drive than the system drive");
                continue;
            }
            WIN32_FILE_ATTRIBUTE_DATA found{};
            const bool exists = FindPackableFile(real, build.x64Capture, found);
            const std::uint64_t size = static_cast<std::uint64_t>(found.nFileSizeHigh) << 32 | found.nFileSizeLow;
            if (!exists || Unpackable(build, path, real, size)) {
                leaveOut(real, !exists ? (IsTemporaryOrLinkFile(real) ? L"a temporary file or a shell link"
                                                                      : L"missing or unreadable at build time")
                               : size >= CabinetFileLimit ? L"2 GiB or larger"
                                                          : L"its name cannot be written in the package");
                continue;
            }
            PackedFile file;
            file.folder = ParentOf(path);
            file.name = LastComponent(path);
            file.realPath = std::move(real);
            // The File key is also the file's name inside the cabinet, where the
            // installer looks it up as 8-bit text: characters beyond ASCII
            // become "_" there (the File table keeps the real name).
            // (It is also a table key: a valid identifier.)
            file.key = build.keys.files.Make(MsiIdentifier(file.name));
            file.component = UpperKey(file.key + L"Comp");
            file.size = static_cast<std::uint32_t>(size);
            file.is64Bit = IsFolder64Bit(file.folder, build.x64Capture);
            file.keptOnRemoval = keptOnRemoval;
            file.attributes = FileRowAttributes(found.dwFileAttributes);
            build.firstKeyOfName.emplace(UpperKey(file.name), file.key);
            build.files.push_back(std::move(file));
        }
    }
    build.counts.FilesPacked = build.files.size();
    build.counts.FilesKept = static_cast<std::size_t>(std::count_if(
        build.files.begin(), build.files.end(), [](const PackedFile& file) { return file.keptOnRemoval; }));
}

void StageRedirectedFiles(BuildContext& build)
{
    // A cabinet maker of 32 bits (ours, or the platform's run from this
    // process) would read SysWOW64 for System32: the real System32 files are
    // copied to the working folder, with redirection off, and packed from there.
    if (!build.x64Capture || !IsWow64Windows())
        return;
    const std::wstring stage = build.place.tempFolder + L"\\System64Files";
    bool created = false;
    for (PackedFile& file : build.files) {
        if (!IsInRealSystem32(file.folder))
            continue;
        if (!created) {
            RemoveFolderTree(stage);
            created = EnsureFolder(stage);
        }
        const std::wstring copy = stage + L"\\" + file.key;
        bool copied;
        DWORD error = ERROR_SUCCESS;
        {
            const CFsRedirectionOff realFolders;
            copied = CopyFileW(file.realPath.c_str(), copy.c_str(), FALSE) != FALSE;
            if (!copied)
                error = GetLastError();
        }
        if (copied)
            file.realPath = copy;
        else
            LogError(L"CMSIHandler::StageRedirectedFiles: Unable to copy " + file.realPath + L" to " +
                     copy + Result::Suffix(error));
    }
}

void IdentifyPackedFiles(BuildContext& build, const CabinetReports& reports)
{
    // A versioned file is compared by its version; an unversioned one by its
    // hash (without one the installer judges it by size and dates alone).
    // Only an executable image can have a version. Our cabinet maker tells
    // the images and every file's digest as it reads them: only the images
    // are opened once more. Empty files keep msi.dll's own answer.
    for (std::size_t i = 0; i < build.files.size(); ++i) {
        PackedFile& file = build.files[i];
        const auto hash = reports.hashes.find(i);
        if (hash == reports.hashes.end() || file.size == 0) {
            ReadFileIdentity(build, file);
            continue;
        }
        if (reports.images.contains(i)) {
            std::optional<CFsRedirectionOff> realFolders;
            if (build.x64Capture)
                realFolders.emplace();
            if (ReadFileVersionColumns(file.realPath, file.version, file.language))
                continue;
        }
        std::copy(hash->second.begin(), hash->second.end(), file.hash);
        file.hashed = true;
    }
}

void OrderAsPacked(BuildContext& build, const CabinetPlan& plan, const CabinetReports& reports)
{
    if (reports.stored.empty())
        return;
    const std::vector<std::size_t> order = PackedOrder(plan, reports.stored, build.files.size());
    if (order.empty())
        return; // a plan that does not cover the files: the order stays as listed
    std::vector<PackedFile> ordered;
    ordered.reserve(order.size());
    for (const std::size_t i : order)
        ordered.push_back(std::move(build.files[i]));
    build.files = std::move(ordered);
}
