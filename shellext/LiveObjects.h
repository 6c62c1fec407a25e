// Count of the library's live COM objects (factories and handlers); the library may be
// unloaded only while it is 0. Objects on different host threads change it at once.
#pragma once

#include <windows.h>

extern volatile LONG g_cLiveObjects;

// Each returns the count as its own interlocked change left it.
LONG LiveObjectCreated();
LONG LiveObjectDestroyed();
bool NoLiveObjects();
