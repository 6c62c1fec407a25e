// Names and codes the desktop pieces share with the scanner (its window, event and service).
// Each literal is written once; the wide forms are derived from it.
#pragma once

#include <windows.h>

#define TOLMERA_WIDEN_(text) L##text
#define TOLMERA_WIDEN(text) TOLMERA_WIDEN_(text)

// Key name of the scanning service.
#define TOLMERA_SERVICE_NAME "TolmeraSvc"
// Title of the scanner's top-level window; its presence means the scanner can take a selection.
#define TOLMERA_WINDOW_TITLE "Tolmera"
// Event the scanner waits on; set once a new selection text is on the clipboard.
#define TOLMERA_HANDOFF_EVENT "Global\\TolmeraCMiniIPCHelperm_eventFromOuterProcess"

// User-defined service control asking the service to launch the scanner.
const DWORD SVC_CONTROL_LAUNCH = 133;

namespace tolmera {
constexpr char kServiceNameA[] = TOLMERA_SERVICE_NAME;
constexpr wchar_t kServiceNameW[] = TOLMERA_WIDEN(TOLMERA_SERVICE_NAME);
constexpr char kWindowTitleA[] = TOLMERA_WINDOW_TITLE;
constexpr wchar_t kWindowTitleW[] = TOLMERA_WIDEN(TOLMERA_WINDOW_TITLE);
constexpr char kHandoffEventA[] = TOLMERA_HANDOFF_EVENT;
constexpr wchar_t kHandoffEventW[] = TOLMERA_WIDEN(TOLMERA_HANDOFF_EVENT);
}  // namespace tolmera
