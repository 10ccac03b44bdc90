// The builder scene for the host-side checks:
//   builder_package_maker <output folder> <folder below Program Files> <key name> [-wix]
// Writes the scene's payload, registry values and project file, and builds its
// package (exit code 0 when BuildMSI returned 1; the package path is printed).
// With -wix it builds nothing: the project also gets a service that runs the
// scene's program and a variable of the user's environment extended at its
// end, for the WiX source check, and its path is printed. The payload and the
// registry values stay in place (the checks compare against them and remove them).
#include "common/ComScope.h"
#include "msi/MSIHandler.h"
#include "project/SystemSettings.h"
#include "tests/msi/BuilderScene.h"

#include <cstdio>

namespace {

// The service's and the variable's values join the added registry list, as a
// capture records them; the build takes them out again.
bool AddServiceAndVariable(const BuilderScene& scene, const std::wstring& project)
{
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
    return doc.Load(project) && WriteRegistryList(doc, ChangeOrigin::Added, added, project) &&
           WriteServiceList(doc, {service}, project) && WriteEnvironmentList(doc, {variable}, project);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    CComScope com;
    const bool wix = argc == 5 && std::wstring(argv[4]) == L"-wix";
    if (argc != 4 && !wix) {
        std::fprintf(stderr, "usage: builder_package_maker <output folder> <folder> <key name> [-wix]\n");
        return 2;
    }
    const std::wstring out = argv[1];
    const std::wstring project = out + L"\\Project.xml";
    CreateDirectoryW(out.c_str(), nullptr);
    const WorkPaths paths = BuilderPaths(out); // makes the work and output folders
    const FolderTokenValues tokens = MachineTokens();
    BuilderScene scene(tokens, argv[2], argv[3]);
    scene.CreatePayload();
    scene.CreateRegistry();
    if (!scene.WriteProject(project) || (wix && !AddServiceAndVariable(scene, project))) {
        std::fprintf(stderr, "cannot write the project file\n");
        return 1;
    }
    if (wix) {
        std::printf("%s\n", ToUtf8(project).c_str());
        return 0;
    }
    CMSIHandler builder;
    if (builder.Initialize(BuilderRequest(paths, tokens, project)) != 1) {
        std::fprintf(stderr, "Initialize failed\n");
        return 1;
    }
    const int built = builder.BuildMSI();
    builder.Uninitialize();
    std::printf("%s\n", ToUtf8(builder.PackagePath()).c_str());
    return built == 1 && MsiCloseAllHandles() == 0 ? 0 : 1;
}
