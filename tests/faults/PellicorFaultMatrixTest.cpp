// Every platform call Pellicor depends on, made to fail in turn: what the handler or the server
// returns, the box the user sees, what reaches the clipboard, the scanner's event and the
// registry, and that the objects are all gone afterwards.
#include <gtest/gtest.h>

#include <olectl.h>

#include <memory>
#include <string>
#include <vector>

#include "ClipboardHeldByAnother.h"
#include "CountingDataObject.h"
#include "HandlerSteps.h"
#include "ImportPatch.h"
#include "MessageBoxWatcher.h"
#include "PellicorLibrary.h"
#include "PostedMessages.h"
#include "RegistryState.h"

namespace {

const std::string kZero(1, '\0');
const std::string kSelection = "C:\\a.txt|C:\\b.txt|" + kZero;
const std::string kBefore = "before" + kZero;

// Where a row's fault is in force.
enum class Step { Create, Initialize, Menu, Invoke, Register, Unregister };

// The fakes: each fails with its own error code, so the code shown names the call that failed.
LPVOID WINAPI FailingGlobalLock(HGLOBAL) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}
HGLOBAL WINAPI FailingGlobalAlloc(UINT, SIZE_T) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}
HANDLE WINAPI RefusingSetClipboardData(UINT, HANDLE) {
    SetLastError(ERROR_CLIPBOARD_NOT_OPEN);
    return nullptr;
}
HANDLE WINAPI MissingEvent(DWORD, BOOL, LPCSTR) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
}
HBITMAP WINAPI NoBitmap(HINSTANCE, LPCSTR) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}
HRESULT WINAPI NoStringFromIID(REFIID, LPOLESTR* text) {
    *text = nullptr;
    return E_OUTOFMEMORY;
}

// Registry calls pass through until the chosen one, which is refused.
struct RegistryRefusal {
    int calls = 0;
    int refused = -1;
    LONG(WINAPI* create)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY, LPDWORD) = nullptr;
    LONG(WINAPI* remove)(HKEY, LPCSTR) = nullptr;
    bool Refuses() { return calls++ == refused; }
} g_registry;

LONG WINAPI RefusingRegCreateKeyExA(HKEY root, LPCSTR key, DWORD reserved, LPSTR cls, DWORD options, REGSAM access,
                                    LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition) {
    if (g_registry.Refuses()) return ERROR_ACCESS_DENIED;
    return g_registry.create(root, key, reserved, cls, options, access, security, result, disposition);
}
LONG WINAPI RefusingRegDeleteKeyA(HKEY root, LPCSTR key) {
    if (g_registry.Refuses()) return ERROR_ACCESS_DENIED;
    return g_registry.remove(root, key);
}

__attribute__((noinline)) DWORD ErrorOpeningHeldClipboard() {
    if (OpenClipboard(nullptr)) {
        CloseClipboard();
        return 0;
    }
    return GetLastError();
}

// The six values registration writes, present or not, in the order of RegistrationSnapshot.
using Written = std::vector<bool>;
const Written kNothing(6, false);
const Written kAll(6, true);

struct Row {
    const char* name;
    Step step;
    const char* dll;       // the import made to fail (nullptr: none)
    const char* function;
    const void* fake;
    int refusedRegistryCall;  // for the registry refusals: which call, from 0
    bool clipboardHeld;       // another program holds the clipboard throughout
    bool noDropList;          // the data object's GetData refuses CF_HDROP
    // Expected:
    HRESULT result;           // of the step with the fault
    const char* box;          // text format of the box shown ("%d" takes the error), nullptr: none
    DWORD error;              // for "%d"; 0: what OpenClipboard reports while another program holds it
    bool eventSet;
    std::string clipboard;    // after the hand-off
    bool emblem;              // the scan item carries the bitmap
    Written registry;         // after the step
};

void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

const char kClipboardFailed[] = "Apertura Appunti Fallita!\nErrore: %d";
const char kEventFailed[] = "Apertura evento Fallita!\nErrore: %d";

Row Handling(const char* name, Step step, const char* dll, const char* function, const void* fake, HRESULT result,
             const char* box, DWORD error, bool eventSet, const std::string& clipboard) {
    return Row{name, step, dll, function, fake, -1, false, false, result, box, error, eventSet, clipboard, true, kNothing};
}

Row Registering(const char* name, Step step, const char* function, const void* fake, int refused, Written after) {
    const char* dll = std::string(function) == "StringFromIID" ? "ole32.dll" : "advapi32.dll";
    return Row{name, step, dll, function, fake, refused, false, false, SELFREG_E_CLASS, nullptr, 0, true, kSelection, true, after};
}

Written FirstWritten(int count) {
    Written written(6, false);
    for (int i = 0; i < count; ++i) written[i] = true;
    return written;
}

std::vector<Row> Rows() {
    std::vector<Row> rows;
    Row getData = Handling("DropListGetData", Step::Initialize, nullptr, nullptr, nullptr, E_FAIL, nullptr, 0, true, kZero);
    getData.noDropList = true;
    rows.push_back(getData);
    rows.push_back(Handling("DropListGlobalLock", Step::Initialize, "kernel32.dll", "GlobalLock",
                            reinterpret_cast<const void*>(&FailingGlobalLock), E_FAIL, nullptr, 0, true, kZero));
    Row held = Handling("ClipboardHeldThroughout", Step::Invoke, nullptr, nullptr, nullptr, S_OK, kClipboardFailed, 0, false, kBefore);
    held.clipboardHeld = true;
    rows.push_back(held);
    rows.push_back(Handling("ClipboardGlobalAlloc", Step::Invoke, "kernel32.dll", "GlobalAlloc",
                            reinterpret_cast<const void*>(&FailingGlobalAlloc), S_OK, kClipboardFailed,
                            ERROR_NOT_ENOUGH_MEMORY, false, kBefore));
    rows.push_back(Handling("ClipboardGlobalLock", Step::Invoke, "kernel32.dll", "GlobalLock",
                            reinterpret_cast<const void*>(&FailingGlobalLock), S_OK, kClipboardFailed,
                            ERROR_INVALID_HANDLE, false, kBefore));
    // The clipboard was emptied for the block it then refused.
    rows.push_back(Handling("SetClipboardData", Step::Invoke, "user32.dll", "SetClipboardData",
                            reinterpret_cast<const void*>(&RefusingSetClipboardData), S_OK, kClipboardFailed,
                            ERROR_CLIPBOARD_NOT_OPEN, false, "<none>"));
    // The selection is on the clipboard, but the scanner is not woken.
    rows.push_back(Handling("OpenEventA", Step::Invoke, "kernel32.dll", "OpenEventA",
                            reinterpret_cast<const void*>(&MissingEvent), S_OK, kEventFailed, ERROR_FILE_NOT_FOUND,
                            false, kSelection));
    Row bitmap = Handling("LoadBitmapA", Step::Create, "user32.dll", "LoadBitmapA", reinterpret_cast<const void*>(&NoBitmap),
                          S_OK, nullptr, 0, true, kSelection);
    bitmap.emblem = false;
    rows.push_back(bitmap);
    rows.push_back(Registering("StringFromIIDRegistering", Step::Register, "StringFromIID",
                               reinterpret_cast<const void*>(&NoStringFromIID), -1, kNothing));
    rows.push_back(Registering("StringFromIIDUnregistering", Step::Unregister, "StringFromIID",
                               reinterpret_cast<const void*>(&NoStringFromIID), -1, kAll));
    // Keys in the order registration makes them: the class, its server (twice, one per value),
    // the handler keys for files and folders, the approval.
    static const char* const createNames[] = {"RegCreateKeyExA0Class", "RegCreateKeyExA1Server", "RegCreateKeyExA2Threading",
                                              "RegCreateKeyExA3Files", "RegCreateKeyExA4Folders", "RegCreateKeyExA5Approval"};
    for (int k = 0; k < 6; ++k)
        rows.push_back(Registering(createNames[k], Step::Register, "RegCreateKeyExA",
                                   reinterpret_cast<const void*>(&RefusingRegCreateKeyExA), k, FirstWritten(k)));
    // Keys in the order unregistration deletes them; the first refusal stops it.
    static const char* const deleteNames[] = {"RegDeleteKeyA0Server", "RegDeleteKeyA1Class", "RegDeleteKeyA2Files",
                                              "RegDeleteKeyA3Folders"};
    const Written afterDeleting[] = {kAll, {true, false, false, true, true, true}, {false, false, false, true, true, true},
                                     {false, false, false, false, true, true}};
    for (int k = 0; k < 4; ++k)
        rows.push_back(Registering(deleteNames[k], Step::Unregister, "RegDeleteKeyA",
                                   reinterpret_cast<const void*>(&RefusingRegDeleteKeyA), k, afterDeleting[k]));
    return rows;
}

// The row's fault while it lives.
class Fault {
public:
    Fault(const Row& row, Step now) {
        if (row.step != now || !row.dll) return;
        g_registry = RegistryRefusal();
        g_registry.refused = row.refusedRegistryCall;
        m_patch.reset(new ImportPatch(PellicorModule(), row.dll, row.function, row.fake));
        if (std::string(row.function) == "RegCreateKeyExA") g_registry.create = m_patch->Original<decltype(g_registry.create)>();
        if (std::string(row.function) == "RegDeleteKeyA") g_registry.remove = m_patch->Original<decltype(g_registry.remove)>();
    }

private:
    std::unique_ptr<ImportPatch> m_patch;
};

std::wstring BoxText(const char* format, DWORD error) {
    char text[256];
    snprintf(text, sizeof(text), format, static_cast<int>(error));
    return std::wstring(text, text + strlen(text));
}

bool ScanItemHasEmblem(HMENU menu) {
    MENUITEMINFOA item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_CHECKMARKS;
    if (!GetMenuItemInfoA(menu, 1, TRUE, &item)) return false;
    return item.hbmpChecked != nullptr;
}

std::vector<bool> Present(const std::vector<RegistryValue>& values) {
    std::vector<bool> present;
    for (const RegistryValue& value : values) present.push_back(value.exists);
    return present;
}

class PellicorFaultMatrix : public testing::TestWithParam<Row> {
protected:
    ComApartment apartment;
    void SetUp() override { ClearRegistration(); }
    void TearDown() override { ClearRegistration(); }
};

TEST_P(PellicorFaultMatrix, ResultShownWrittenAndNothingLeft) {
    const Row& row = GetParam();
    const HRESULT ok = S_OK;
    auto expected = [&](Step step) { return row.step == step ? row.result : ok; };

    ScannerStandIn scanner;
    TestWindow window;
    PutClipboardText("before");
    std::unique_ptr<CountingDataObject> data(row.noDropList ? new CountingDataObject()
                                                            : new CountingDataObject(NarrowDropBlock({"C:\\a.txt", "C:\\b.txt"})));
    std::unique_ptr<ClipboardHeldByAnother> holder;
    std::vector<SeenMessageBox> boxes;
    std::vector<PostedEnable> posts;
    {
        MessageBoxWatcher watcher(GetCurrentProcessId());
        Handler handler;
        {
            Fault fault(row, Step::Create);
            handler = CreateHandler();
        }
        ASSERT_TRUE(handler.init && handler.menu);
        {
            Fault fault(row, Step::Initialize);
            EXPECT_EQ(expected(Step::Initialize), handler.init->Initialize(nullptr, data.get(), nullptr));
        }
        HMENU menu = CreatePopupMenu();
        {
            Fault fault(row, Step::Menu);
            EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 3), handler.menu->QueryContextMenu(menu, 0, 1, 10, CMF_NORMAL));
        }
        EXPECT_EQ(3, GetMenuItemCount(menu));
        EXPECT_EQ(row.emblem, ScanItemHasEmblem(menu));
        {
            if (row.clipboardHeld) holder.reset(new ClipboardHeldByAnother());
            PostedEnableMessages posted;
            {
                Fault fault(row, Step::Invoke);
                EXPECT_EQ(expected(Step::Invoke), InvokeOffset(handler.menu.Get(), 1, window.Get()));
            }
            posts = posted.Drain();
        }
        DestroyMenu(menu);
        if (row.box) watcher.WaitForCount(1, 10000);
        boxes = watcher.Seen();
    }
    DWORD error = row.error;
    if (row.clipboardHeld) error = ErrorOpeningHeldClipboard();
    holder.reset();

    if (row.box) {
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(L"Pellicor", boxes[0].caption);
        EXPECT_NE(0u, error);
        EXPECT_EQ(BoxText(row.box, error), boxes[0].text);
        EXPECT_EQ(window.Get(), boxes[0].owner);
    } else {
        EXPECT_TRUE(boxes.empty());
    }
    EXPECT_EQ(row.eventSet, scanner.TakeEvent());
    EXPECT_EQ(row.clipboard, ClipboardText());
    // The invoking window is told to wait and then to go on, however the hand-off went.
    ASSERT_EQ(2u, posts.size());
    EXPECT_EQ(0u, posts[0].enable);
    EXPECT_EQ(1u, posts[1].enable);

    if (row.step == Step::Unregister) {
        ASSERT_EQ(S_OK, PellicorRegisterServer());
    }
    {
        Fault fault(row, Step::Register);
        Fault fault2(row, Step::Unregister);
        if (row.step == Step::Register) {
            EXPECT_EQ(row.result, PellicorRegisterServer());
        }
        if (row.step == Step::Unregister) {
            EXPECT_EQ(row.result, PellicorUnregisterServer());
        }
    }
    EXPECT_EQ(row.registry, Present(RegistrationSnapshot()));

    // Nothing left behind: every reference and medium given back, no object alive in the server.
    EXPECT_EQ(data->AddRefCalls(), data->ReleaseCalls());
    EXPECT_EQ(row.noDropList ? 0 : data->GetDataCalls(), data->MediaReleased());
    EXPECT_EQ(S_OK, PellicorCanUnloadNow());
}

INSTANTIATE_TEST_SUITE_P(EachCall, PellicorFaultMatrix, testing::ValuesIn(Rows()),
                         [](const testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

}  // namespace
