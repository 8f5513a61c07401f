// Extract\Insert Tool on the Win32 API: program entry.

#include "Env.h"
#include "Form.h"
#include "MainWindowModel.h"
#include "ModelEvents.h"
#include "NativeDialogs.h"
#include "RegistrySettings.h"
#include "Win32MainWindow.h"

#include <windows.h>
#include <objbase.h>

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::vector<std::string> arguments = eit::ProgramArguments(argc, argv);
    // The folder browser of "Select Directory" is a shell object.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    int exitCode = 0;
    eit::RunGuardedIn(nullptr, [&] {
        eit::RegistrySettings settings;
        eit::Win32MainWindow window(eit::SystemDialogs());
        eit::MainWindowModel model(window, settings);
        eit::ModelEvents events(model);
        window.Attach(&events);
        window.SetQuitOnClose(true);
        window.Show();
        model.Start();
        // Files named on the command line, as if dropped on the list.
        if (!arguments.empty())
            model.AddPaths(arguments);
        MSG message;
        while (::GetMessageW(&message, nullptr, 0, 0) > 0)
            eit::DispatchMessageOf(message);
        exitCode = static_cast<int>(message.wParam);
    });
    if (SUCCEEDED(com))
        ::CoUninitialize();
    return exitCode;
}
