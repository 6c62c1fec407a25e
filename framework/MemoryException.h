// The framework's out-of-memory exception: thrown as a pointer, caught and Delete()d.
#pragma once

class CMemoryException {
public:
    // The one instance is static, so throwing it never needs memory; Delete() keeps it.
    void Delete() {}

private:
    CMemoryException() = default;
    friend CMemoryException* AfxGetMemoryException();
};

CMemoryException* AfxGetMemoryException();
[[noreturn]] void AfxThrowMemoryException();
