// The small application framework the two deliverables are written on.
#pragma once

#include "Bitmap.h"
#include "MemoryException.h"
#include "MessageBox.h"
#include "String.h"
#include "StringArray.h"
#include "WinApp.h"
