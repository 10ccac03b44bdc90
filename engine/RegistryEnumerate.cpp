#include "engine/RegistryEnumerate.h"
#include "project/ProjectWriters.h"

#include "common/StopToken.h"
#include "common/SnapshotSeal.h"
#include "common/RegistryTypes.h"
#include "common/RegistryViews.h"
#include "common/Utf.h"
#include "common/Wow64.h"
#include "engine/RegFileWriter.h"
#include "engine/RegLineReader.h"
#include "project/SystemSettings.h"

#include <algorithm>
#include <new>

namespace {

constexpr std::wstring_view CrLf = L"\r\n";

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The message the registry editor's command line gives for an unknown root,
// on the standard error stream (nobody sees it in the wizard).
void ReportInvalidHive(const std::wstring& hiveName)
{
    std::string message = "Invalid key: '";
    message += ToUtf8(hiveName);
    message += "'. Must be one of:";
    for (const auto& [name, hive] : HiveNames()) {
        if (name.size() < 5) {
            message += ' ';
            message += ToUtf8(name);
        }
    }
    message += "\r\n";
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error == nullptr || error == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(error, message.data(), static_cast<DWORD>(message.size()), &written, nullptr);
}

std::wstring RemoveCommas(std::wstring_view text)
{
    std::wstring out;
    out.reserve(text.size());
    for (const wchar_t c : text) {
        if (c != L',')
            out += c;
    }
    return out;
}

} // namespace

RegistryChangeEntry MakeValueChange(std::wstring_view keyLine, std::wstring_view namePart, bool hasEquals,
                                    std::wstring_view data)
{
    RegistryChangeEntry entry;
    entry.KeyLine.assign(keyLine);
    if (namePart.size() >= 2 && namePart.front() == L'"' && namePart.back() == L'"')
        entry.ValueName = L'"' + RegOrder::Unescape(namePart.substr(1, namePart.size() - 2)) + L'"';
    else
        entry.ValueName.assign(namePart);

    if (!hasEquals) {
        // Not a line this program writes; kept as text.
        std::wstring text = RemoveCommas(namePart);
        const auto first = text.find_first_not_of(L" \t");
        const auto last = text.find_last_not_of(L" \t");
        entry.TypeName = L"REG_SZ";
        entry.Data = first == std::wstring::npos ? std::wstring() : text.substr(first, last - first + 1);
        return entry;
    }

    static const std::wstring_view prefixes[ValueTypeCount] = {L"hex(2):", L"hex:", L"hex(b):", L"dword:", L""};
    int type = ValueTypeCount - 1;
    for (int i = 0; i < ValueTypeCount; ++i) {
        if (data.substr(0, prefixes[i].size()) == prefixes[i]) {
            type = i;
            break;
        }
    }
    entry.TypeName = FromUtf8(ValueTypeNames[type]);
    data.remove_prefix(prefixes[type].size());
    switch (type) {
    case 0:
    case 1:
    case 2:
        entry.Data = RemoveCommas(data);
        break;
    case 3: {
        const auto first = data.find_first_not_of(L'0');
        entry.Data = first == std::wstring_view::npos ? std::wstring(L"0") : std::wstring(data.substr(first));
        break;
    }
    default:
        // Quoted text comes back with its escapes undone; other hex types
        // (hex(7):, hex(1):...) keep their whole text.
        if (data.size() >= 2 && data.front() == L'"' && data.back() == L'"')
            entry.Data = L'"' + RegOrder::Unescape(data.substr(1, data.size() - 2)) + L'"';
        else
            entry.Data.assign(data);
        // The project file names the true type (hex(7): a multi-string,
        // hex(0): REG_NONE...); hex(1): is a string that a line cannot hold.
        DWORD hexType = 0;
        std::size_t prefixLength = 0;
        if (ParseHexTypePrefix(data, hexType, prefixLength) && hexType != REG_SZ)
            entry.TypeName = RegistryTypeName(hexType);
        break;
    }
    return entry;
}

// One pass over two sorted snapshot files. A is the first snapshot, B the
// second; whichever line sorts first is gone (A) or new (B).
class CRegistryEnumerate::CMerge
{
public:
    CMerge(CRegistryEnumerate& owner, CRegLineReader& a, CRegLineReader& b, RegFileWriter& difference)
        : m_owner(owner), m_a(a), m_b(b), m_difference(difference)
    {
    }

    void Run()
    {
        m_a.Next();
        m_b.Next();
        while ((!m_a.AtEnd() || !m_b.AtEnd()) && m_difference.WriteError() == 0 && !m_difference.Stopped()) {
            if (m_a.AtEnd()) {
                New();
            } else if (m_b.AtEnd()) {
                Gone();
            } else if (m_a.IsKey() && m_b.IsKey()) {
                const int order = RegOrder::CompareKeyPaths(m_a.KeyPath(), m_b.KeyPath());
                if (order < 0) {
                    Gone();
                } else if (order > 0) {
                    New();
                } else {
                    m_headerWritten = false;
                    m_a.Next();
                    m_b.Next();
                }
            } else if (!m_a.IsKey() && !m_b.IsKey()) {
                const int order =
                    RegOrder::CompareValueNames(m_a.EscapedName(), m_a.IsDefault(), m_b.EscapedName(), m_b.IsDefault());
                if (order < 0) {
                    Gone();
                } else if (order > 0) {
                    New();
                } else {
                    // Same value (names compare without case, as the registry does).
                    if (m_a.Data() != m_b.Data() || m_a.HasEquals() != m_b.HasEquals())
                        Modified();
                    m_a.Next();
                    m_b.Next();
                }
            } else if (!m_a.IsKey()) {
                Gone(); // A's remaining values of this key
            } else {
                New(); // B's values of this key
            }
        }
    }

private:
    void WriteLine(std::wstring_view line)
    {
        m_difference.Write(line);
        m_difference.Write(CrLf);
    }

    // The key's header goes out once, before its first changed value.
    void EnsureHeader(std::wstring_view keyLine, ChangeOrigin origin)
    {
        if (m_headerWritten)
            return;
        m_headerWritten = true;
        m_difference.Write(CrLf);
        WriteLine(keyLine);
        m_owner.AddRegistryChange(origin, RegistryChangeEntry{std::wstring(keyLine), {}, {}, {}});
    }

    void New()
    {
        const std::wstring_view line = m_b.Line();
        if (m_b.IsKey()) {
            m_headerWritten = false;
            EnsureHeader(line, ChangeOrigin::Added);
        } else {
            EnsureHeader(m_b.CurrentKeyLine(), ChangeOrigin::Added);
            WriteLine(line);
            m_owner.AddRegistryChange(ChangeOrigin::Added,
                                      MakeValueChange(m_b.CurrentKeyLine(), m_b.NamePart(), m_b.HasEquals(), m_b.Data()));
        }
        m_b.Next();
    }

    void Gone()
    {
        const std::wstring_view line = m_a.Line();
        if (m_a.IsKey()) {
            // A copy: the reader's lines last only until it moves on.
            const std::wstring path(m_a.KeyPath());
            m_difference.Write(L"\r\n[-");
            m_difference.Write(path);
            m_difference.Write(L"]\r\n");
            m_owner.AddRegistryChange(ChangeOrigin::Deleted, RegistryChangeEntry{std::wstring(line), {}, {}, {}});
            // The key's own values and its whole subtree go with it.
            m_a.Next();
            while (!m_a.AtEnd() && (!m_a.IsKey() || RegOrder::IsBelow(m_a.KeyPath(), path)))
                m_a.Next();
            m_headerWritten = false;
            return;
        }
        EnsureHeader(m_a.CurrentKeyLine(), ChangeOrigin::Deleted);
        m_difference.Write(m_a.NamePart());
        m_difference.Write(L"=-\r\n");
        m_owner.AddRegistryChange(ChangeOrigin::Deleted,
                                  MakeValueChange(m_a.CurrentKeyLine(), m_a.NamePart(), m_a.HasEquals(), m_a.Data()));
        m_a.Next();
    }

    void Modified()
    {
        EnsureHeader(m_b.CurrentKeyLine(), ChangeOrigin::Modified);
        WriteLine(m_b.Line());
        // An environment variable's old value tells what the setup added to it.
        const std::wstring_view keyLine = m_a.CurrentKeyLine();
        if (keyLine.size() > 2 && IsEnvironmentKey(std::wstring(keyLine.substr(1, keyLine.size() - 2))))
            m_owner.m_previousEnvironment.push_back(
                MakeValueChange(keyLine, m_a.NamePart(), m_a.HasEquals(), m_a.Data()));
        m_owner.AddRegistryChange(ChangeOrigin::Modified,
                                  MakeValueChange(m_b.CurrentKeyLine(), m_b.NamePart(), m_b.HasEquals(), m_b.Data()));
    }

    CRegistryEnumerate& m_owner;
    CRegLineReader& m_a;
    CRegLineReader& m_b;
    RegFileWriter& m_difference;
    bool m_headerWritten = false;
};

CRegistryEnumerate::CRegistryEnumerate(CProgressState& progress, ChangeSet& changes, const WorkPaths& paths)
    : m_changes(changes), m_progress(progress), m_paths(paths)
{
}

CRegistryEnumerate::CRegistryEnumerate(CProgressState& progress, const WorkPaths& paths)
    : m_changes(m_ownChanges), m_progress(progress), m_paths(paths)
{
}

CRegistryEnumerate::CRegistryEnumerate(const WorkPaths& paths)
    : m_changes(m_ownChanges), m_progress(m_ownProgress), m_paths(paths)
{
}
CRegistryEnumerate::~CRegistryEnumerate() = default;

void CRegistryEnumerate::WriteLog(const std::wstring& message)
{
    LogError(message);
}

Result CRegistryEnumerate::Initialize()
{
    const std::wstring& root = m_paths.WorkingRoot;
    m_regSystemDirPath = root + L"\\SnapShot" + L"\\RegSystemDir";
    m_firstSnapshotFolder = m_regSystemDirPath + L"\\FirstSnapShot";
    m_secondSnapshotFolder = m_regSystemDirPath + L"\\SecondSnapShot";
    m_firstSnapshotFilePrefix = m_firstSnapshotFolder + L"\\" + L"RegSnapShot";
    m_secondSnapshotFilePrefix = m_secondSnapshotFolder + L"\\" + L"RegSnapShot";
    m_differencePrefix = root + L"\\Temp" + L"\\" + L"Difference";
    (void)m_document.Load(m_paths.RawProjectFilePath);
    return Result::Ok();
}

int CRegistryEnumerate::IsFirstSnapshotTaken()
{
    if (!FileExists(m_firstSnapshotFilePrefix + L"0.reg")) {
        EnsureFolder(m_paths.SnapshotFolder());
        EnsureFolder(m_regSystemDirPath);
        EnsureFolder(m_firstSnapshotFolder);
        m_firstSnapshotTaken = false;
    } else {
        EnsureFolder(m_secondSnapshotFolder);
        m_firstSnapshotTaken = true;
    }
    return m_firstSnapshotTaken ? 1 : 0;
}

void CRegistryEnumerate::SetExcludedKeys(std::set<std::wstring> keyPaths)
{
    m_excludedKeys.clear();
    for (std::wstring path : keyPaths) {
        while (!path.empty() && path.back() == L'\\')
            path.pop_back();
        const std::size_t slash = path.find(L'\\');
        const std::wstring hiveName = ToUpperAscii(path.substr(0, slash));
        const auto hive = HiveNames().find(hiveName);
        if (hive != HiveNames().end())
            path.replace(0, hiveName.size(), RegFileWriter::LongHiveName(hive->second));
        // On 64-bit Windows the walk sees both views: an excluded key is
        // excluded in the 32-bit view (below WOW6432Node) as well.
        std::vector<std::wstring> paths{path};
        if (IsWow64Windows())
            for (std::wstring& twin : Wow6432NodeTwins(path))
                paths.push_back(std::move(twin));
        for (std::wstring& each : paths) {
            for (wchar_t& c : each)
                c = RegOrder::Fold(c);
            if (!each.empty())
                m_excludedKeys.insert(std::move(each));
        }
    }
}

// A root below a redirected key has a twin in the 32-bit view (below
// WOW6432Node) on 64-bit Windows, where a 32-bit setup writes: both go into
// the root's snapshot file, in the export's order, as the whole-hive walk sees
// both. A root that exists in neither view is logged.
DWORD CRegistryEnumerate::ExportRootViews(RegFileWriter& writer, HKEY hive, const std::wstring& subkey)
{
    const std::wstring longRoot(RegFileWriter::LongHiveName(hive));
    std::wstring own = subkey;
    while (!own.empty() && own.back() == L'\\')
        own.pop_back();
    std::vector<std::wstring> trees{own};
    if (IsWow64Windows() && !own.empty()) {
        for (const std::wstring& twin : Wow6432NodeTwins(longRoot + L"\\" + own)) {
            std::wstring twinKey = twin.substr(longRoot.size() + 1);
            // A twin inside the root's own tree is walked with it.
            if (twinKey.size() > own.size() && RegOrder::CompareKeyPaths(twinKey.substr(0, own.size()), own) == 0 &&
                twinKey[own.size()] == L'\\')
                continue;
            trees.push_back(std::move(twinKey));
        }
        std::sort(trees.begin(), trees.end(),
                  [](const std::wstring& a, const std::wstring& b) { return RegOrder::CompareKeyPaths(a, b) < 0; });
    }
    DWORD result = ERROR_FILE_NOT_FOUND;
    bool found = false;
    for (const std::wstring& tree : trees) {
        const DWORD rc = writer.ExportKeyTree(hive, tree);
        if (rc == ERROR_CANCELLED)
            return rc;
        if (rc != ERROR_FILE_NOT_FOUND) {
            found = true;
            if (result == ERROR_FILE_NOT_FOUND || result == 0)
                result = rc;
        }
    }
    if (!found)
        WriteLog(L"CRegistryEnumerate::CaptureSnapshot The registry root " + longRoot + L"\\" + own +
                 (trees.size() > 1 ? L" exists in neither registry view" : L" does not exist") +
                 L"; nothing captured there");
    return result;
}

DWORD CRegistryEnumerate::ExportKey(const std::wstring& root, const std::wstring& fileName, DWORD& writeError)
{
    writeError = 0;
    RegFileWriter writer(&m_excludedKeys, &m_keysOpened, &m_progress);
    DWORD result = writer.Create(fileName);
    if (result != 0) {
        writeError = result;
        return result;
    }
    writer.WriteHeader();

    const std::size_t slash = root.find(L'\\');
    const std::wstring hiveName = root.substr(0, slash);
    const std::wstring subkey = slash == std::wstring::npos ? std::wstring() : root.substr(slash + 1);
    const auto hive = HiveNames().find(hiveName);
    if (hive == HiveNames().end()) {
        ReportInvalidHive(hiveName);
        result = ERROR_INVALID_PARAMETER;
    } else {
        try {
            result = ExportRootViews(writer, hive->second, subkey);
        } catch (const std::bad_alloc&) {
            result = ERROR_NOT_ENOUGH_MEMORY;
            writeError = ERROR_NOT_ENOUGH_MEMORY;
        }
    }
    const DWORD closeError = writer.Close();
    if (writeError == 0)
        writeError = closeError;
    return result;
}

Result CRegistryEnumerate::CaptureSnapshot(const std::vector<std::wstring>& roots)
{
    const std::wstring line = L"CRegistryEnumerate::CaptureSnapshot ";
    if (roots.size() > MaxRoots)
        return LogFailure(Result::Failure(ERROR_INVALID_PARAMETER,
                                          line + L"Unable to capture " + std::to_wstring(roots.size()) +
                                              L" registry roots: at most 100 can be captured"));
    const bool second = m_firstSnapshotTaken;
    if (second) {
        RemoveFolderTree(m_secondSnapshotFolder);
        RemoveFolderTree(m_paths.TempFolder());
    }
    EnsureFolder(m_paths.SnapshotFolder());
    EnsureFolder(m_regSystemDirPath);
    EnsureFolder(second ? m_secondSnapshotFolder : m_firstSnapshotFolder);

    m_keysOpened = 0;
    const std::wstring& prefix = second ? m_secondSnapshotFilePrefix : m_firstSnapshotFilePrefix;
    for (std::size_t i = 0; i < roots.size(); ++i) {
        const std::wstring fileName = prefix + std::to_wstring(i) + L".reg";
        m_progress.SetStatusText(L"Scanning Registry:- " + roots[i]);
        DWORD writeError = 0;
        RemoveSnapshotSeal(fileName);
        const DWORD exported = ExportKey(roots[i], fileName, writeError);
        if (exported == ERROR_CANCELLED || StopRequested()) {
            // Cut exports would compare as mass deletions: every file of this
            // capture goes. A pending capture keeps its first snapshot.
            RemoveFolderTree(second ? m_secondSnapshotFolder : m_firstSnapshotFolder);
            return LogFailure(Result::Failure(ERROR_CANCELLED, line + L"Stopped before the export was complete; the "
                                                                      L"snapshot files of this capture removed"));
        }
        if (writeError == 0 && !WriteSnapshotSeal(fileName))
            writeError = ERROR_WRITE_FAULT;
        if (writeError != 0) {
            // A cut-off snapshot would compare as a mass deletion: drop it.
            DeleteFileW(fileName.c_str());
            return LogFailure(Result::Win32(writeError, line + L"Unable to write snapshot file " + fileName));
        }
        m_progress.AddStep();
    }
    m_firstSnapshotTaken = true;
    m_snapshotFileCount = static_cast<int>(roots.size());

    if (roots.empty()) {
        // An empty first file still marks the first snapshot as taken.
        const std::wstring fileName = m_firstSnapshotFilePrefix + L"0.reg";
        RegFileWriter marker(nullptr, nullptr);
        const DWORD error = marker.Create(fileName);
        if (error != 0)
            return LogFailure(Result::Win32(error, line + L"Unable to write snapshot file " + fileName));
        (void)marker.Close();
        if (!WriteSnapshotSeal(fileName)) // logged by the seal
            return Result::Win32(ERROR_WRITE_FAULT, line + L"Unable to seal snapshot file " + fileName);
    }
    return Result::Ok();
}

void CRegistryEnumerate::AddRegistryChange(ChangeOrigin origin, const RegistryChangeEntry& entry)
{
    if (entry.KeyLine.size() < 2)
        return;
    auto& values = m_changes.Registry(origin)[entry.KeyLine.substr(1, entry.KeyLine.size() - 2)];
    if (!entry.ValueName.empty())
        values.push_back(entry);
}

Result CRegistryEnumerate::CompareSnapshotFiles(const std::wstring& firstFile, const std::wstring& secondFile,
                                                const std::wstring& differenceFile)
{
    const std::wstring line = L"CRegistryEnumerate::CompareSnapshotFiles ";
    try {
        CRegLineReader first;
        CRegLineReader second;
        DWORD error = first.Open(firstFile);
        if (error != 0)
            return LogFailure(Result::Win32(error, line + L"Unable to open snapshot file " + firstFile));
        error = second.Open(secondFile);
        if (error != 0)
            return LogFailure(Result::Win32(error, line + L"Unable to open snapshot file " + secondFile));
        RegFileWriter difference(nullptr, nullptr);
        error = difference.Create(differenceFile);
        if (error != 0)
            return LogFailure(Result::Win32(error, line + L"Unable to create difference file " + differenceFile));
        difference.Write(L"\xFEFF"
                         L"Windows Registry Editor Version 5.00\r\n");
        CMerge(*this, first, second, difference).Run();
        if (difference.Stopped()) {
            (void)difference.Close();
            DeleteFileW(differenceFile.c_str());
            return LogFailure(Result::Failure(ERROR_CANCELLED, line + L"Stopped before the comparison was complete; " +
                                                                   differenceFile + L" removed"));
        }
        error = difference.Close();
        if (error != 0)
            return LogFailure(Result::Win32(error, line + L"Unable to write difference file " + differenceFile));
        // A snapshot that could not be read to its end would compare as deletions or additions.
        for (const auto& [reader, file] : {std::pair{&first, &firstFile}, std::pair{&second, &secondFile}})
            if (reader->ReadError() != 0)
                return LogFailure(Result::Win32(reader->ReadError(), line + L"Unable to read snapshot file " + *file));
        return Result::Ok();
    } catch (const std::bad_alloc&) {
        return LogFailure(Result::Win32(ERROR_NOT_ENOUGH_MEMORY,
                                        line + L"Out of memory comparing " + firstFile + L" with " + secondFile));
    }
}

Result CRegistryEnumerate::CompareSnapshot()
{
    for (RegistryChangeMap& map : m_changes.RegistryMaps)
        map.clear();
    m_previousEnvironment.clear();
    if (m_snapshotFileCount > 0)
        m_progress.SetStatusText(L"Comparing Registry System Snapshot");
    EnsureFolder(m_paths.TempFolder());
    for (int i = 0; i < m_snapshotFileCount; ++i) {
        if (StopRequested())
            return LogFailure(Result::Failure(
                ERROR_CANCELLED, L"CRegistryEnumerate::CompareSnapshot Stopped before the comparison was complete"));
        const std::wstring number = std::to_wstring(i) + L".reg";
        // A file without a matching completion record was cut short or
        // changed: compared, it would report what it lost as changes.
        for (const std::wstring* prefix : {&m_firstSnapshotFilePrefix, &m_secondSnapshotFilePrefix})
            if (FileExists(*prefix + number) && !CheckSnapshotSeal(*prefix + number)) // logged by the seal
                return Result::Win32(ERROR_FILE_CORRUPT, L"CRegistryEnumerate::CompareSnapshot The snapshot file " +
                                                             *prefix + number + L" is not complete");
        if (Result compared = CompareSnapshotFiles(m_firstSnapshotFilePrefix + number,
                                                   m_secondSnapshotFilePrefix + number, m_differencePrefix + number);
            !compared)
            return compared;
    }
    return Result::Ok();
}

Result CRegistryEnumerate::WriteChangeDocument()
{
    // A fresh copy of the raw project file each time, so a second comparison
    // does not add to the first one's lists.
    (void)m_document.Load(m_paths.RawProjectFilePath);
    Result written = WriteLists();
    if (StopRequested()) {
        // The writers stopped part-way: what one of them saved is incomplete.
        DeleteFileW(m_paths.RegChangesPath.c_str());
        return LogFailure(Result::Failure(
            ERROR_CANCELLED, L"CRegistryEnumerate::CompareSnapshot Stopped before the comparison was complete"));
    }
    return written;
}

Result CRegistryEnumerate::WriteLists()
{
    const std::wstring& savePath = m_paths.RegChangesPath;
    // Every list is written; the first failure (logged by its writer) is the result.
    Result written = Result::Ok();
    for (const ChangeOrigin origin : Origins)
        if (Result list = WriteRegistryList(m_document, origin, m_changes.Registry(origin), savePath); !list && written)
            written = std::move(list);
    return written;
}

Result CRegistryEnumerate::WriteRegistryChanges()
{
    if (Result loaded = m_document.Load(m_paths.RawProjectFilePath); !loaded)
        return LogFailure(Result::Failure(loaded.Code(), L"CRegistryEnumerate::WriteRegistryChanges " + loaded.Text()));
    return WriteLists();
}

void CRegistryEnumerate::Reset()
{
    m_previousEnvironment.clear();
    for (RegistryChangeMap& map : m_changes.RegistryMaps)
        map.clear();
}
