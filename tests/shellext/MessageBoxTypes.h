// Records the owner and type of every message box Pellicor asks for, and lets the real box come
// up as usual (its pixels may not be drawn yet when a watcher reads it; the type is certain).
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "ImportPatch.h"

struct AskedMessageBox {
    HWND owner;
    UINT type;
};

class MessageBoxTypes {
public:
    MessageBoxTypes();
    MessageBoxTypes(const MessageBoxTypes&) = delete;
    MessageBoxTypes& operator=(const MessageBoxTypes&) = delete;
    ~MessageBoxTypes();
    std::vector<AskedMessageBox> Asked() const;

private:
    std::unique_ptr<ImportPatch> m_patch;
};
