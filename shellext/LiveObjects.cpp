#include "LiveObjects.h"

volatile LONG g_cLiveObjects = 0;

LONG LiveObjectCreated() { return InterlockedIncrement(&g_cLiveObjects); }

LONG LiveObjectDestroyed() { return InterlockedDecrement(&g_cLiveObjects); }

bool NoLiveObjects() { return InterlockedCompareExchange(&g_cLiveObjects, 0, 0) == 0; }
