// Reads the selection Explorer hands over (CF_HDROP) into a list of narrow full paths.
#pragma once

#include <windows.h>
#include <objidl.h>

#include "Framework.h"

// Fills `files` with one entry per dropped item, in drop-list order. E_FAIL when the data object
// gives no CF_HDROP in global memory or the block is malformed; the list is then empty, as it is
// after any exception (which goes on to the caller).
HRESULT ReadDropFiles(IDataObject* pDataObject, CStringArray& files);
