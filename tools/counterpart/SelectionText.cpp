#include "SelectionText.h"

SelectionList SplitSelectionText(const std::string& text) {
    SelectionList list;
    size_t start = 0;
    for (size_t bar = text.find('|'); bar != std::string::npos; bar = text.find('|', start)) {
        list.entries.push_back(text.substr(start, bar - start));
        start = bar + 1;
    }
    if (start != text.size()) {
        list.entries.clear();
        list.error = "malformed selection text: " + std::to_string(text.size() - start) + " bytes after the last separator";
        return list;
    }
    list.ok = true;
    return list;
}
