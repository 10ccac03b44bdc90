#include "manager/Session.h"

bool InitializePaths(Session& session, const std::wstring& outputFolder, const std::wstring& msiFileName)
{
    session.WindowThread.AssertCurrent(L"the work paths");
    if (!InitializePaths(session.Paths, session.Tokens, outputFolder, msiFileName))
        return false;
    session.SetProjectFilePath(session.Paths.PackagesFolder() + L"\\ProjectFile.xml");
    return true;
}
