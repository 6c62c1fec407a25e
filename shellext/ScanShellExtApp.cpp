// The library's application object. It is constructed without a name, so the framework names it
// (and the caption of its message boxes) after the library file. It keeps no module-wide state:
// the live-object count is changed with interlocked operations and needs no lock.
#include "Framework.h"

class CScanShellExtApp : public CWinApp {};

CScanShellExtApp theApp;
