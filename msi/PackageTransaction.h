#pragma once
// The transaction of a package build: the template copied to a temporary
// name beside the package and opened, the database committed, and the
// package moved over its own name (with its external cabinets) only when it
// is complete. A failed or stopped build removes the temporary file and
// leaves an earlier package of that name whole.
#include "common/Result.h"
#include "msi/MsiHandle.h"

#include <string>
#include <utility>
#include <vector>

class CPackageTransaction
{
public:
    // `tempFolder` receives the file the template's code page is read through.
    CPackageTransaction(std::wstring packagePath, std::wstring buildPath, std::wstring tempFolder);
    ~CPackageTransaction();
    CPackageTransaction(const CPackageTransaction&) = delete;
    CPackageTransaction& operator=(const CPackageTransaction&) = delete;

    // Copies the template (checked first) to the temporary name and opens it
    // for writing. A failure's text is its log line.
    Result Begin(const std::wstring& templatePath);
    MSIHANDLE Database() const noexcept { return m_database.get(); }
    bool IsOpen() const noexcept { return m_database.valid(); }
    // The code page the template's strings are kept in.
    UINT CodePage() const noexcept { return m_codePage; }
    // Commits and closes the database; a failure carries msi.dll's code.
    Result Commit();
    // Moves each file from its temporary name to its own, the package last;
    // a name that is taken is moved aside first and put back when a move
    // fails. A failure's text is its log line.
    Result Publish(const std::vector<std::pair<std::wstring, std::wstring>>& cabinetMoves);
    // Closes the database and removes the temporary file.
    void Discard();

    const std::wstring& PackagePath() const noexcept { return m_packagePath; }
    const std::wstring& BuildPath() const noexcept { return m_buildPath; }

private:
    std::wstring m_packagePath;
    std::wstring m_buildPath;
    std::wstring m_tempFolder;
    UniqueMsiHandle m_database;
    UINT m_codePage = 1252;
};

// Longest package path Windows Installer opens (shorter than MAX_PATH).
inline constexpr std::size_t PackagePathLimit = MAX_PATH - 1;
