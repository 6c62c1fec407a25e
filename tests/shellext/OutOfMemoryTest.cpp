// Running out of memory at any allocation of Initialize or InvokeCommand: no exception escapes,
// Initialize leaves no list behind, InvokeCommand sets no event but still tells the window.
#include <gtest/gtest.h>

#include "AllocationFaults.h"
#include "CountingDataObject.h"
#include "HandlerSteps.h"
#include "MessageBoxWatcher.h"
#include "PellicorLibrary.h"
#include "PostedMessages.h"

namespace {

const std::string kZero(1, '\0');

class OutOfMemory : public testing::Test {
protected:
    ComApartment apartment;
};

TEST_F(OutOfMemory, AtEveryAllocationOfInitialize) {
    ScannerStandIn scanner;
    // Names that take every road: plain, converted, too long, outside the code page.
    std::vector<std::wstring> names = {L"C:\\plain.txt", L"C:\\caf\x00e9.txt", L"C:\\gone\\" + std::wstring(280, L'x'),
                                       L"C:\\gone\\\x0444.txt"};
    for (int i = 0; i < 40; ++i) names.push_back(L"C:\\many\\" + std::to_wstring(i));
    CountingDataObject data(WideDropBlock(names));
    CountingDataObject earlier(NarrowDropBlock({"C:\\earlier.txt"}));
    Handler handler = CreateHandler();
    HGLOBAL block = GlobalBlockOf(WideDropBlock(names));
    const std::string full = SelectionText(DragQueryFileLoop(block));
    GlobalFree(block);

    int refused = 0;
    for (int failing = 0;; ++failing) {
        ASSERT_EQ(S_OK, handler.init->Initialize(nullptr, &earlier, nullptr));
        HRESULT hr;
        int calls;
        {
            FailingAllocation faults(failing);
            hr = handler.init->Initialize(nullptr, &data, nullptr);
            calls = faults.Calls();
        }
        std::string text = ScannedText(handler.menu.Get(), scanner);
        if (calls <= failing) {  // nothing failed: the whole selection
            EXPECT_EQ(S_OK, hr);
            EXPECT_EQ(full, text);
            break;
        }
        ASSERT_EQ(E_OUTOFMEMORY, hr) << "allocation " << failing;
        EXPECT_EQ(kZero, text) << "allocation " << failing;
        EXPECT_EQ(data.GetDataCalls(), data.MediaReleased());
        ++refused;
        ASSERT_LT(failing, 10000);
    }
    EXPECT_GT(refused, 3);
    handler.init->Initialize(nullptr, nullptr, nullptr);
    EXPECT_EQ(data.AddRefCalls(), data.ReleaseCalls());
}

TEST_F(OutOfMemory, AtEveryAllocationOfTheHandOff) {
    CountingDataObject data(NarrowDropBlock({"C:\\a.txt", "C:\\b.txt"}));
    Handler handler = CreateHandler();
    ASSERT_EQ(S_OK, handler.init->Initialize(nullptr, &data, nullptr));
    TestWindow window;
    MessageBoxWatcher watcher(GetCurrentProcessId());
    for (bool scannerWaits : {true, false}) {
        ScannerStandIn scanner(ScannerStandIn::Options{true, scannerWaits});
        int refused = 0;
        for (int failing = 0;; ++failing) {
            PutClipboardText("before");
            PostedEnableMessages posted;
            HRESULT hr;
            int calls;
            {
                FailingAllocation faults(failing);
                hr = InvokeOffset(handler.menu.Get(), 1, window.Get());
                calls = faults.Calls();
            }
            std::vector<PostedEnable> posts = posted.Drain();
            ASSERT_EQ(2u, posts.size());
            EXPECT_EQ(0u, posts[0].enable);
            EXPECT_EQ(1u, posts[1].enable);
            if (calls <= failing) {
                EXPECT_EQ(S_OK, hr);
                EXPECT_EQ(scannerWaits, scanner.TakeEvent());
                EXPECT_EQ("C:\\a.txt|C:\\b.txt|" + kZero, ClipboardText());
                break;
            }
            EXPECT_EQ(E_OUTOFMEMORY, hr) << "allocation " << failing;
            EXPECT_FALSE(scanner.TakeEvent()) << "allocation " << failing;
            ++refused;
            ASSERT_LT(failing, 1000);
        }
        EXPECT_GE(refused, 1);
    }
}

}  // namespace
