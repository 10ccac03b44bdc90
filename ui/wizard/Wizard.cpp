#include "ui/wizard/Wizard.h"

#include "common/Log.h"
#include "manager/UIManager.h"
#include "ui/framework/UiServices.h"
#include "ui/wizard/ApplicationMain.h"

#include <commctrl.h>
#include <ole2.h>

int RunWizard(Session& session)
{
    try {
        // The welcome page hosts web browsers: OLE, single-threaded apartment.
        const HRESULT ole = OleInitialize(nullptr);
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES | ICC_LINK_CLASS};
        InitCommonControlsEx(&controls);

        if (!InitializePaths(session, L"", L"")) {
            // Without the working folders every clean-up would aim at the
            // wrong place: nothing runs.
            ShowMessageBox(nullptr,
                           L"The program cannot start: the TEMP or APPDATA environment variable is not set, or a "
                           L"folder path is too long. See the error log.",
                           L"Corvane Repackager", MB_OK | MB_ICONERROR);
            if (SUCCEEDED(ole))
                OleUninitialize();
            return 1;
        }
        INT_PTR result = 0;
        {
            CUIManager manager(session);
            (void)manager.Initialize(); // logged
            DialogFont();
            CApplicationMain sheet(session, manager);
            result = sheet.DoModal();
        }
        if (SUCCEEDED(ole))
            OleUninitialize();
        return result < 0 ? 1 : 0;
    } catch (...) {
        LogError(L"RunWizard: unexpected exception");
        return 1;
    }
}
