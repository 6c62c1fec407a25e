#include "PostedMessages.h"

namespace {
std::vector<PostedEnable>* g_recorded = nullptr;
}

namespace {
void PumpQueue() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}
}  // namespace

PostedEnableMessages::PostedEnableMessages() {
    PumpQueue();  // what earlier steps left in the queue is not ours to count
    g_recorded = new std::vector<PostedEnable>;
    m_hook = SetWindowsHookExW(WH_GETMESSAGE, OnGetMessage, nullptr, GetCurrentThreadId());
}

PostedEnableMessages::~PostedEnableMessages() {
    UnhookWindowsHookEx(m_hook);
    delete g_recorded;
    g_recorded = nullptr;
}

LRESULT CALLBACK PostedEnableMessages::OnGetMessage(int code, WPARAM removal, LPARAM message) {
    auto msg = reinterpret_cast<const MSG*>(message);
    if (code == HC_ACTION && removal == PM_REMOVE && msg->message == WM_ENABLE && g_recorded)
        g_recorded->push_back(PostedEnable{msg->hwnd, msg->wParam});
    return CallNextHookEx(nullptr, code, removal, message);
}

std::vector<PostedEnable> PostedEnableMessages::Drain() {
    PumpQueue();
    return *g_recorded;
}
