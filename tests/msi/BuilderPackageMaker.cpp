// Builds the package of the builder scene for the host-side check:
//   builder_package_maker <output folder> <folder below Program Files> <key name>
// Leaves the payload and the registry values in place (the check compares
// against them and removes them). Exit code 0 when BuildMSI returned 1.
#include "common/ComScope.h"
#include "msi/MSIHandler.h"
#include "tests/msi/BuilderScene.h"

#include <cstdio>

int wmain(int argc, wchar_t** argv)
{
    CComScope com;
    if (argc != 4) {
        std::fprintf(stderr, "usage: builder_package_maker <output folder> <folder> <key name>\n");
        return 2;
    }
    const std::wstring out = argv[1];
    CreateDirectoryW(out.c_str(), nullptr);
    const WorkPaths paths = BuilderPaths(out);
    const FolderTokenValues tokens = MachineTokens();
    BuilderScene scene(tokens, argv[2], argv[3]);
    scene.CreatePayload();
    scene.CreateRegistry();
    if (!scene.WriteProject(out + L"\\Project.xml")) {
        std::fprintf(stderr, "cannot write the project file\n");
        return 1;
    }
    CMSIHandler builder;
    if (builder.Initialize(BuilderRequest(paths, tokens, out + L"\\Project.xml")) != 1) {
        std::fprintf(stderr, "Initialize failed\n");
        return 1;
    }
    const int built = builder.BuildMSI();
    builder.Uninitialize();
    std::printf("%s\n", ToUtf8(builder.PackagePath()).c_str());
    return built == 1 && MsiCloseAllHandles() == 0 ? 0 : 1;
}
