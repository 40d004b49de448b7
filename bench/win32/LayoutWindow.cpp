// The benchmark's fair floor: zopra.exe's window with every control made from the layout
// table, its resources (manifest, icon) and the DLLs zopra.exe loads, but no form and no links
// behind it. What zopra.exe takes beyond this is the form's and the links' own.
#include "ui/win32/Win32Window.h"

#include <windows.h>

int main() {
    // zopra.exe imports these for its links and settings; the window alone does not.
    for (const wchar_t* library : {L"advapi32.dll", L"setupapi.dll", L"shell32.dll"})
        LoadLibraryW(library);
    zopra::win32::Win32Window window;
    window.Show();
    return window.Run();
}
