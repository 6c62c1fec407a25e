#include "CommonControls.h"

#include <windows.h>
#include <commctrl.h>

void PrepareCommonControls() {
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    // Nothing later depends on the classes being there.
    InitCommonControlsEx(&controls);
}
