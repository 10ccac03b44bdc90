// The builder's entry points: the project loaded, the package named, the
// transaction begun, and the build pipeline run (PackageBuild.h).
#include "msi/MSIHandler.h"
#include "project/ProjectReaders.h"

#include "common/FileNames.h"
#include "common/Paths.h"
#include "common/Utf.h"
#include "msi/PackageBuild.h"
#include "msi/PackageTransaction.h"

namespace {

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

CMSIHandler::CMSIHandler(CProgressState& progress) : m_progress(progress) {}

CMSIHandler::CMSIHandler() : m_progress(m_ownProgress) {}

CMSIHandler::~CMSIHandler() = default;

std::wstring CMSIHandler::DefaultCabinetMaker(const std::wstring& programFolder)
{
    wchar_t system[MAX_PATH];
    const UINT n = GetSystemDirectoryW(system, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        const std::wstring platform = std::wstring(system, n) + L"\\makecab.exe";
        if (FileExists(platform))
            return platform;
    }
    return programFolder + L"\\makecab.exe";
}

int CMSIHandler::InitializeFailed(const std::wstring& line)
{
    LogError(line);
    return 0;
}

std::wstring CMSIHandler::PackageFileName(const std::wstring& requested) const
{
    if (!requested.empty())
        return requested;
    // A name made of product information: one plain file name in the
    // packages folder, whatever the product is called.
    const std::wstring product =
        m_productInfo.ApplicationName.empty() ? std::wstring(L"MSIProject") : m_productInfo.ApplicationName;
    const std::wstring plain = MakePlainFileName(product + L".msi");
    if (plain != product + L".msi")
        LogError(L"CMSIHandler::Initialize: The product name \"" + product +
                 L"\" does not make a plain file name; the package is named \"" + plain + L"\"");
    return plain;
}

int CMSIHandler::Initialize(const BuildRequest& request)
{
    m_transaction.reset();
    m_place = {request.Paths.TempFolder(), request.Paths.ConfigFilePath, request.Tokens};
    if (m_cabinetMaker.empty())
        m_cabinetMaker = DefaultCabinetMaker(request.Paths.ProgramFolder);

    m_results.notes.clear();
    m_project = std::make_unique<XmlDocument>();
    m_model = {};
    m_isProjectLoaded = static_cast<bool>(m_project->Load(request.Project));
    if (!m_isProjectLoaded)
        return InitializeFailed(L"CMSIHandler::Initialize: Unable to load Project File");

    m_productInfo = {};
    (void)ReadProductInfo(*m_project, m_productInfo); // none: empty product information
    const std::wstring packages = request.PackagesFolder();
    m_packagePath = packages + L"\\" + PackageFileName(request.PackageName);
    // Built under a name of its own in the same folder, and moved over the
    // package's name only when complete: an earlier package survives a failed build.
    const std::wstring buildPath = packages + L"\\~build-" + std::to_wstring(GetCurrentProcessId()) + L".msi.tmp";
    const std::wstring templatePath = request.Paths.ProgramFolder + L"\\Blank.msi";

    EnsureFolder(packages);
    EnsureFolder(m_place.tempFolder);

    auto transaction = std::make_unique<CPackageTransaction>(m_packagePath, buildPath, m_place.tempFolder);
    if (const Result begun = transaction->Begin(templatePath); !begun)
        return InitializeFailed(begun.Text());
    m_transaction = std::move(transaction);
    return 1;
}

int CMSIHandler::BuildMSI()
{
    if (!m_isProjectLoaded || !m_transaction || !m_transaction->IsOpen()) {
        LogError(L"CMSIHandler::BuildMSI: XML not loaded");
        return 0;
    }
    m_results.counts = {};
    m_results.leftOut.clear();
    m_results.leftOutItems.clear();
    m_results.productCode.clear();
    m_results.failure.clear();
    m_results.sources = {};
    CPackageBuild build(*m_transaction, *m_project, m_model, m_productInfo, m_results,
                        {m_cabinetMaker, m_place, m_progressReport, m_progress});
    return build.Run() ? 1 : 0;
}

void CMSIHandler::Uninitialize()
{
    // A build that did not run to its end leaves no package behind.
    m_transaction.reset();
    m_project.reset();
    m_isProjectLoaded = false;
}
