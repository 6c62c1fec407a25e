#include "ShellSelection.h"

#include <shlobj.h>

#include <stdexcept>

namespace {

std::string Identity(HANDLE file) {
    if (file == INVALID_HANDLE_VALUE) return std::string();
    BY_HANDLE_FILE_INFORMATION info{};
    BOOL ok = GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    if (!ok) return std::string();
    return std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(info.nFileIndexHigh) + ":" +
           std::to_string(info.nFileIndexLow);
}

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring child = path + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileW(child.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

}  // namespace

std::wstring LongPathForm(const std::wstring& path) {
    if (path.size() < MAX_PATH - 12 || path.compare(0, 4, L"\\\\?\\") == 0) return path;
    return L"\\\\?\\" + path;
}

TempFolder::TempFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static int serial = 0;
    m_path = std::wstring(temp) + L"pellicor-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++serial);
    if (!CreateDirectoryW(m_path.c_str(), nullptr)) throw std::runtime_error("cannot create a temporary folder");
}

TempFolder::~TempFolder() { RemoveTree(LongPathForm(m_path)); }

std::wstring TempFolder::MakeFolder(const std::wstring& relative) {
    std::wstring path = m_path;
    size_t start = 0;
    for (;;) {
        size_t end = relative.find(L'\\', start);
        path += L"\\" + relative.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        CreateDirectoryW(LongPathForm(path).c_str(), nullptr);
        if (end == std::wstring::npos) break;
        start = end + 1;
    }
    return path;
}

std::wstring TempFolder::MakeFile(const std::wstring& relative) {
    size_t slash = relative.rfind(L'\\');
    if (slash != std::wstring::npos) MakeFolder(relative.substr(0, slash));
    std::wstring path = m_path + L"\\" + relative;
    HANDLE file = CreateFileW(LongPathForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create a test file");
    DWORD written = 0;
    WriteFile(file, "pellicor", 8, &written, nullptr);
    CloseHandle(file);
    return path;
}

ComRef<IDataObject> ShellDataObject(const std::wstring& folder, const std::vector<std::wstring>& names) {
    ComRef<IShellFolder> desktop;
    if (FAILED(SHGetDesktopFolder(desktop.Out()))) throw std::runtime_error("no desktop folder");
    PIDLIST_RELATIVE folderId = nullptr;
    if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, const_cast<LPWSTR>(folder.c_str()), nullptr, &folderId, nullptr)))
        throw std::runtime_error("the shell cannot parse the folder");
    ComRef<IShellFolder> parent;
    HRESULT hr = desktop->BindToObject(folderId, nullptr, IID_IShellFolder, parent.OutVoid());
    CoTaskMemFree(folderId);
    if (FAILED(hr)) throw std::runtime_error("the shell cannot bind to the folder");

    std::vector<PITEMID_CHILD> children;
    for (const std::wstring& name : names) {
        PIDLIST_RELATIVE child = nullptr;
        if (FAILED(parent->ParseDisplayName(nullptr, nullptr, const_cast<LPWSTR>(name.c_str()), nullptr, &child, nullptr)))
            throw std::runtime_error("the shell cannot parse an item");
        children.push_back(reinterpret_cast<PITEMID_CHILD>(child));
    }
    ComRef<IDataObject> data;
    hr = parent->GetUIObjectOf(nullptr, static_cast<UINT>(children.size()), const_cast<PCUITEMID_CHILD_ARRAY>(children.data()),
                               IID_IDataObject, nullptr, data.OutVoid());
    for (PITEMID_CHILD child : children) CoTaskMemFree(child);
    if (FAILED(hr)) throw std::runtime_error("the shell makes no data object");
    return data;
}

std::string FileIdentity(const std::wstring& path) {
    return Identity(CreateFileW(LongPathForm(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

std::string FileIdentityA(const std::string& path) {
    return Identity(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

std::string Narrow(const std::wstring& text) {
    if (text.empty()) return std::string();
    int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), &narrow[0], size, nullptr, nullptr);
    return narrow;
}
