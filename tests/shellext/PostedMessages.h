// Records the WM_ENABLE messages posted to this thread (its windows and the thread itself) as
// they are taken from the queue, by whichever message loop takes them.
#pragma once

#include <windows.h>

#include <vector>

struct PostedEnable {
    HWND hwnd;
    WPARAM enable;
};

class PostedEnableMessages {
public:
    PostedEnableMessages();
    PostedEnableMessages(const PostedEnableMessages&) = delete;
    PostedEnableMessages& operator=(const PostedEnableMessages&) = delete;
    ~PostedEnableMessages();

    // Empties the thread's queue, then returns every WM_ENABLE taken from it so far.
    std::vector<PostedEnable> Drain();

private:
    static LRESULT CALLBACK OnGetMessage(int code, WPARAM removal, LPARAM message);
    HHOOK m_hook;
};
