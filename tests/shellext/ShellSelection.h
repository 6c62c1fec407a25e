// Real files and folders, and the data object the shell makes for a selection of them.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <string>
#include <vector>

#include "ComRef.h"

// A fresh folder under the temporary folder, removed with everything in it when it goes.
class TempFolder {
public:
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();
    const std::wstring& Path() const { return m_path; }
    // Creates a file (with a little content) or folder below this one; returns its full path.
    // Names may hold backslashes (the folders on the way are created) and exceed MAX_PATH.
    std::wstring MakeFile(const std::wstring& relative);
    std::wstring MakeFolder(const std::wstring& relative);

private:
    std::wstring m_path;
};

// The shell's data object for `names` (files or folders) of `folder`, as Explorer would hand it
// to a context-menu handler: desktop folder, ParseDisplayName, GetUIObjectOf.
ComRef<IDataObject> ShellDataObject(const std::wstring& folder, const std::vector<std::wstring>& names);

// `path` in its \\?\ form when it is too long for the plain one.
std::wstring LongPathForm(const std::wstring& path);
// The volume serial and file index of what `path` opens (narrow paths go through CreateFileA);
// empty when it opens nothing.
std::string FileIdentity(const std::wstring& path);
std::string FileIdentityA(const std::string& path);
std::string Narrow(const std::wstring& text);
