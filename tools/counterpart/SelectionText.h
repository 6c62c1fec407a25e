// Reading the selection text the context-menu handler leaves on the clipboard: every path
// followed by "|", then one zero byte.
#pragma once

#include <string>
#include <vector>

struct SelectionList {
    bool ok = false;
    std::string error;                 // why the text is not a selection, when !ok
    std::vector<std::string> entries;  // in order; an entry may be empty
};

// Splits `text` (the bytes before the terminating zero) at every "|". The piece after the
// last separator must be empty: it is no path. An empty text is an empty list.
SelectionList SplitSelectionText(const std::string& text);
