#include "ImportPatch.h"

#include <cstring>
#include <stdexcept>
#include <string>

void** FindImportSlot(HMODULE module, const char* dll, const char* function) {
    auto base = reinterpret_cast<BYTE*>(module);
    auto dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return nullptr;
    for (auto desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); desc->Name; ++desc) {
        if (_stricmp(reinterpret_cast<const char*>(base + desc->Name), dll) != 0) continue;
        DWORD namesRva = desc->OriginalFirstThunk ? desc->OriginalFirstThunk : desc->FirstThunk;
        auto names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + namesRva);
        auto slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

void WriteImportSlot(void** slot, void* value) {
    DWORD oldProtect = 0;
    if (!VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &oldProtect))
        throw std::runtime_error("VirtualProtect failed on an import slot");
    InterlockedExchangePointer(slot, value);
    VirtualProtect(slot, sizeof(void*), oldProtect, &oldProtect);
}

ImportPatch::ImportPatch(HMODULE module, const char* dll, const char* function, const void* replacement) {
    m_slot = FindImportSlot(module, dll, function);
    if (!m_slot) throw std::runtime_error(std::string("no import ") + dll + "!" + function);
    m_original = *m_slot;
    WriteImportSlot(m_slot, const_cast<void*>(replacement));
}

ImportPatch::~ImportPatch() {
    WriteImportSlot(m_slot, m_original);
}
