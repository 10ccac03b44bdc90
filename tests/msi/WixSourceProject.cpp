// Writes the project of the WiX source check: the builder scene (files in
// nested folders, registry values of every type, INI entries, shortcuts with
// an icon) with a service that runs the scene's program and a variable
// of the user's environment extended at its end.
//   wix_source_project <output folder> <folder below Program Files> <key name>
// Leaves the payload and the registry values in place; prints the project path.
#include "common/ComScope.h"
#include "project/SystemSettings.h"
#include "tests/msi/BuilderScene.h"
#include "tests/support/TestSupport.h"

#include <cstdio>

int wmain(int argc, wchar_t** argv)
{
    CComScope com;
    if (argc != 4) {
        std::fprintf(stderr, "usage: wix_source_project <output folder> <folder> <key name>\n");
        return 2;
    }
    const std::wstring out = argv[1];
    CreateDirectoryW(out.c_str(), nullptr);
    (void)BuilderPaths(out); // makes the work and output folders
    const FolderTokenValues tokens = MachineTokens();
    BuilderScene scene(tokens, argv[2], argv[3]);
    scene.CreatePayload();
    scene.CreateRegistry();
    const std::wstring project = out + L"\\Project.xml";
    if (!scene.WriteProject(project)) {
        std::fprintf(stderr, "cannot write the project file\n");
        return 1;
    }
    // The service's and the variable's values join the added registry list,
    // as a capture records them; the build takes them out again.
    const std::wstring serviceKey = L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\CorvaneWxsService";
    const std::wstring environmentKey = L"HKEY_CURRENT_USER\\Environment";
    RegistryChangeMap added;
    added[serviceKey] = {{serviceKey, L"\"ImagePath\"", L"REG_EXPAND_SZ", L""}};
    added[environmentKey] = {{environmentKey, L"\"CORVANE_WXS\"", L"REG_SZ", L""}};
    const ServiceRecord service{serviceKey, L"CorvaneWxsService", L"Corvane WiX check", L"Checks the WiX source",
                                0x10, 3, 1, L"", {L"RpcSs"}, {}, L"", scene.Token(L"\\App\\app.exe"), L"-service"};
    const EnvironmentRecord variable{environmentKey, L"CORVANE_WXS", false, EnvironmentAction::Extend, L"", {},
                                     {L"on"}};
    XmlDocument doc;
    if (!doc.Load(project) || !WriteRegistryList(doc, ChangeOrigin::Added, added, project) ||
        !WriteServiceList(doc, {service}, project) || !WriteEnvironmentList(doc, {variable}, project)) {
        std::fprintf(stderr, "cannot add the service and the variable\n");
        return 1;
    }
    std::printf("%s\n", ToUtf8(project).c_str());
    return 0;
}
