// One of Pellicor's heap allocations fails, for each allocation in turn, across a handler's whole
// life and across registration: the host sees only results, never an exception or a crash, and no
// object is left alive.
#include <gtest/gtest.h>

#include <olectl.h>

#include <string>

#include "AllocationFaults.h"
#include "CountingDataObject.h"
#include "HandlerSteps.h"
#include "MessageBoxWatcher.h"
#include "PellicorLibrary.h"
#include "PostedMessages.h"
#include "RegistryState.h"

namespace {

const std::string kZero(1, '\0');
const int kEnoughAllocations = 5000;

// Where the failing allocation fell in one cycle.
enum class FailedIn { None, Factory, Handler, Initialize, Menu, Invoke, Release };

class PellicorAllocationFailure : public testing::Test {
protected:
    ComApartment apartment;
    void SetUp() override { ClearRegistration(); }
    void TearDown() override { ClearRegistration(); }
};

TEST_F(PellicorAllocationFailure, EachAllocationOfAWholeHandlerCycle) {
    ScannerStandIn scanner;
    TestWindow window;
    // Names that take each road of the reading: plain, converted, too long, outside the code page.
    const std::vector<std::wstring> names = {L"C:\\plain.txt", L"C:\\caf\x00e9.txt",
                                             L"C:\\gone\\" + std::wstring(280, L'x'), L"C:\\gone\\\x0444.txt"};
    HGLOBAL block = GlobalBlockOf(WideDropBlock(names));
    const std::string full = SelectionText(DragQueryFileLoop(block));
    GlobalFree(block);
    std::vector<int> failures(7, 0);

    for (int failing = 0;; ++failing) {
        ASSERT_LT(failing, kEnoughAllocations);
        SCOPED_TRACE("allocation " + std::to_string(failing));
        CountingDataObject data(WideDropBlock(names));
        PutClipboardText("before");
        FailedIn failedIn = FailedIn::None;
        HRESULT factoryResult = S_OK, createResult = S_OK, initResult = S_OK, menuResult = S_OK, invokeResult = S_OK;
        int menuItems = 0;
        std::vector<PostedEnable> posts;
        bool invoked = false;
        MessageBoxWatcher watcher(GetCurrentProcessId());
        {
            FailingAllocation faults(failing);
            auto passed = [&](FailedIn step) {
                if (failedIn == FailedIn::None && faults.Calls() > failing) failedIn = step;
            };
            ComRef<IClassFactory> factory;
            factoryResult = PellicorGetClassObject(kHandlerClsid, IID_IClassFactory, factory.OutVoid());
            passed(FailedIn::Factory);
            Handler handler;
            if (factory) {
                createResult = factory->CreateInstance(nullptr, IID_IShellExtInit, handler.init.OutVoid());
                passed(FailedIn::Handler);
                factory.Reset();
            }
            if (handler.init) {
                ASSERT_EQ(S_OK, handler.init->QueryInterface(IID_IContextMenu, handler.menu.OutVoid()));
                initResult = handler.init->Initialize(nullptr, &data, nullptr);
                passed(FailedIn::Initialize);
                HMENU menu = CreatePopupMenu();
                menuResult = handler.menu->QueryContextMenu(menu, 0, 1, 10, CMF_NORMAL);
                passed(FailedIn::Menu);
                menuItems = GetMenuItemCount(menu);
                DestroyMenu(menu);
                PostedEnableMessages posted;
                invokeResult = InvokeOffset(handler.menu.Get(), 1, window.Get());
                passed(FailedIn::Invoke);
                posts = posted.Drain();
                invoked = true;
            }
            handler = Handler();
            passed(FailedIn::Release);
            if (faults.Calls() <= failing) {
                // Nothing failed: the whole cycle as usual, and the sweep is complete.
                EXPECT_EQ(S_OK, initResult);
                EXPECT_EQ(S_OK, invokeResult);
                EXPECT_TRUE(scanner.TakeEvent());
                EXPECT_EQ(full, ClipboardText());
                EXPECT_EQ(S_OK, PellicorCanUnloadNow());
                break;
            }
        }
        ++failures[static_cast<int>(failedIn)];
        // Whatever failed, the results are those of a short memory, never an exception's.
        switch (failedIn) {
        case FailedIn::Factory:
            EXPECT_EQ(E_OUTOFMEMORY, factoryResult);
            break;
        case FailedIn::Handler:
            EXPECT_EQ(E_OUTOFMEMORY, createResult);
            break;
        case FailedIn::Initialize:
            // The list is left empty: the hand-off that follows (memory back) names nothing.
            EXPECT_EQ(E_OUTOFMEMORY, initResult);
            EXPECT_EQ(S_OK, invokeResult);
            EXPECT_TRUE(scanner.TakeEvent());
            EXPECT_EQ(kZero, ClipboardText());
            break;
        case FailedIn::Invoke:
            EXPECT_EQ(S_OK, initResult);
            EXPECT_EQ(E_OUTOFMEMORY, invokeResult);
            EXPECT_FALSE(scanner.TakeEvent());
            EXPECT_EQ("before" + kZero, ClipboardText());
            break;
        default:
            ADD_FAILURE() << "an allocation failed where none was expected: step " << static_cast<int>(failedIn);
        }
        if (invoked) {
            EXPECT_EQ(MAKE_HRESULT(SEVERITY_SUCCESS, 0, 3), menuResult);
            EXPECT_EQ(3, menuItems);
            // The invoking window is released from its wait whatever happened.
            ASSERT_EQ(2u, posts.size());
            EXPECT_EQ(0u, posts[0].enable);
            EXPECT_EQ(1u, posts[1].enable);
        }
        EXPECT_TRUE(watcher.Seen().empty());
        EXPECT_EQ(data.AddRefCalls(), data.ReleaseCalls());
        EXPECT_EQ(data.GetDataCalls(), data.MediaReleased());
        EXPECT_EQ(S_OK, PellicorCanUnloadNow());
        if (HasFatalFailure()) return;
    }
    // The sweep met each step that allocates.
    EXPECT_GE(failures[static_cast<int>(FailedIn::Factory)], 1);
    EXPECT_GE(failures[static_cast<int>(FailedIn::Handler)], 1);
    EXPECT_GE(failures[static_cast<int>(FailedIn::Initialize)], 1);
    EXPECT_GE(failures[static_cast<int>(FailedIn::Invoke)], 1);
}

bool AllOfOurs(bool present) {
    for (const RegistryValue& value : RegistrationSnapshot())
        if (value.exists != present) return false;
    return true;
}

TEST_F(PellicorAllocationFailure, EachAllocationOfRegistrationAndUnregistration) {
    struct Row {
        const char* name;
        bool registering;
    } rows[] = {{"registration", true}, {"unregistration", false}};
    for (const Row& row : rows) {
        for (int failing = 0;; ++failing) {
            ASSERT_LT(failing, kEnoughAllocations) << row.name;
            SCOPED_TRACE(std::string(row.name) + ", allocation " + std::to_string(failing));
            ClearRegistration();
            if (!row.registering) {
                ASSERT_EQ(S_OK, PellicorRegisterServer());
            }
            HRESULT hr;
            int calls;
            {
                FailingAllocation faults(failing);
                hr = row.registering ? PellicorRegisterServer() : PellicorUnregisterServer();
                calls = faults.Calls();
            }
            EXPECT_EQ(S_OK, PellicorCanUnloadNow());
            if (calls <= failing) {
                EXPECT_EQ(S_OK, hr);
                EXPECT_TRUE(AllOfOurs(row.registering));
                break;
            }
            // A refusal, or a success that then holds in full.
            EXPECT_TRUE(hr == SELFREG_E_CLASS || hr == S_OK) << std::hex << hr;
            if (hr == S_OK) {
                EXPECT_TRUE(AllOfOurs(row.registering));
            }
        }
        ClearRegistration();
    }
}

}  // namespace
