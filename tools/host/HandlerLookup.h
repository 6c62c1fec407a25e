// Which context-menu handlers the registry names for a selection, as Explorer finds them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct RegisteredHandler {
    std::wstring name;  // the handler key's name
    CLSID clsid;
};

// Handlers under HKEY_CLASSES_ROOT\<kind>\shellex\ContextMenuHandlers, where kind is "*" for
// files and "Folder" for folders; for a mixed selection, those registered for every item.
std::vector<RegisteredHandler> FindContextMenuHandlers(const std::vector<std::wstring>& paths);
