// The test program's own application object, so that the message box has a caption.
#include "Framework.h"

CWinApp theTestApp;
