// Redirects one named import of one loaded module to a replacement, for as long as the
// object lives: the way tests make a platform call fail on demand.
#pragma once

#include <windows.h>

class ImportPatch {
public:
    // Throws std::runtime_error when `module` does not import `function` from `dll` by name.
    ImportPatch(HMODULE module, const char* dll, const char* function, const void* replacement);
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;
    ~ImportPatch();

    // The function the slot held before the patch.
    template <typename F>
    F Original() const {
        return reinterpret_cast<F>(m_original);
    }

private:
    void** m_slot = nullptr;
    void* m_original = nullptr;
};

// Writes one pointer into a module's import address table, whatever the page protection.
void WriteImportSlot(void** slot, void* value);
// The import address table slot of `function` from `dll` in `module`, or nullptr.
void** FindImportSlot(HMODULE module, const char* dll, const char* function);
