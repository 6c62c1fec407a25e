#include "MemoryException.h"

CMemoryException* AfxGetMemoryException() {
    static CMemoryException instance;
    return &instance;
}

void AfxThrowMemoryException() {
    throw AfxGetMemoryException();
}
