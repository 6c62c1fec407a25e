// The handler object: interface identity, reference counts, what Initialize keeps and releases,
// and GetCommandString.
#include <gtest/gtest.h>

#include "CountingDataObject.h"
#include "HandlerSteps.h"
#include "PellicorLibrary.h"

namespace {

class HandlerObject : public testing::Test {
protected:
    ComApartment apartment;
    ScannerStandIn scanner;
};

TEST_F(HandlerObject, InterfaceTable) {
    Handler handler = CreateHandler();
    IUnknown* identity = handler.init.Get();
    ASSERT_EQ(2u, RefCount(identity));  // init and menu

    struct Row {
        const char* name;
        IID iid;
        HRESULT result;
        void* expected;
    } rows[] = {
        {"IShellExtInit", IID_IShellExtInit, S_OK, static_cast<IShellExtInit*>(handler.init.Get())},
        {"IUnknown", IID_IUnknown, S_OK, static_cast<IShellExtInit*>(handler.init.Get())},
        {"IContextMenu", IID_IContextMenu, S_OK, static_cast<IContextMenu*>(handler.menu.Get())},
        {"IClassFactory", IID_IClassFactory, E_NOINTERFACE, nullptr},
        {"IDataObject", IID_IDataObject, E_NOINTERFACE, nullptr},
        {"IContextMenu2", IID_IContextMenu2, E_NOINTERFACE, nullptr},
        {"IShellFolder", IID_IShellFolder, E_NOINTERFACE, nullptr},
    };
    for (IUnknown* through : {static_cast<IUnknown*>(handler.init.Get()), static_cast<IUnknown*>(handler.menu.Get())}) {
        for (const Row& row : rows) {
            void* out = reinterpret_cast<void*>(0x1234);
            EXPECT_EQ(row.result, through->QueryInterface(row.iid, &out)) << row.name;
            EXPECT_EQ(row.expected, out) << row.name;
            EXPECT_EQ(row.result == S_OK ? 3u : 2u, RefCount(identity)) << row.name;
            if (out) static_cast<IUnknown*>(out)->Release();
        }
    }
    EXPECT_NE(static_cast<void*>(handler.init.Get()), static_cast<void*>(handler.menu.Get()));
}

TEST_F(HandlerObject, OneCountBehindBothPointers) {
    Handler handler = CreateHandler();
    EXPECT_EQ(3u, handler.init->AddRef());
    EXPECT_EQ(4u, handler.menu->AddRef());
    EXPECT_EQ(3u, handler.init->Release());
    EXPECT_EQ(2u, handler.menu->Release());
    EXPECT_EQ(S_FALSE, PellicorCanUnloadNow());
    // The final Release, through either pointer, destroys the handler.
    EXPECT_EQ(1u, handler.init.Detach()->Release());
    EXPECT_EQ(0u, handler.menu.Detach()->Release());
    EXPECT_EQ(S_OK, PellicorCanUnloadNow());
}

TEST_F(HandlerObject, FinalReleaseThroughMenuPointerToo) {
    Handler handler = CreateHandler();
    EXPECT_EQ(1u, handler.menu.Detach()->Release());
    EXPECT_EQ(S_FALSE, PellicorCanUnloadNow());
    EXPECT_EQ(0u, handler.init.Detach()->Release());
    EXPECT_EQ(S_OK, PellicorCanUnloadNow());
}

TEST_F(HandlerObject, AsksForDropFilesInGlobalMemory) {
    CountingDataObject data(NarrowDropBlock({"C:\\a.exe"}));
    Handler handler = CreateHandler();
    EXPECT_EQ(S_OK, handler.init->Initialize(nullptr, &data, nullptr));
    const FORMATETC& format = data.LastFormat();
    EXPECT_EQ(CF_HDROP, format.cfFormat);
    EXPECT_EQ(nullptr, format.ptd);
    EXPECT_EQ(static_cast<DWORD>(DVASPECT_CONTENT), format.dwAspect);
    EXPECT_EQ(-1, format.lindex);
    EXPECT_EQ(static_cast<DWORD>(TYMED_HGLOBAL), format.tymed);
    EXPECT_EQ(1, data.MediaReleased());
}

TEST_F(HandlerObject, HoldsOneReferenceAndGivesBackEveryOne) {
    CountingDataObject first(NarrowDropBlock({"C:\\first.txt"}));
    CountingDataObject second(NarrowDropBlock({"C:\\second.txt", "D:\\third.txt"}));
    {
        Handler handler = CreateHandler();
        EXPECT_EQ(S_OK, handler.init->Initialize(nullptr, &first, nullptr));
        EXPECT_EQ(first.AddRefCalls() - first.ReleaseCalls(), 1);
        EXPECT_EQ("C:\\first.txt|" + std::string(1, '\0'), ScannedText(handler.menu.Get(), scanner));

        // A second selection replaces the first entirely and lets the first data object go.
        EXPECT_EQ(S_OK, handler.init->Initialize(nullptr, &second, nullptr));
        EXPECT_EQ(first.AddRefCalls(), first.ReleaseCalls());
        EXPECT_EQ(second.AddRefCalls() - second.ReleaseCalls(), 1);
        EXPECT_EQ("C:\\second.txt|D:\\third.txt|" + std::string(1, '\0'), ScannedText(handler.menu.Get(), scanner));

        // The same data object again: still exactly one reference held.
        EXPECT_EQ(S_OK, handler.init->Initialize(nullptr, &second, nullptr));
        EXPECT_EQ(second.AddRefCalls() - second.ReleaseCalls(), 1);
    }
    EXPECT_GE(first.AddRefCalls(), 1);
    EXPECT_EQ(first.AddRefCalls(), first.ReleaseCalls());
    EXPECT_EQ(second.AddRefCalls(), second.ReleaseCalls());
    EXPECT_EQ(first.GetDataCalls(), first.MediaReleased());
    EXPECT_EQ(second.GetDataCalls(), second.MediaReleased());
}

TEST_F(HandlerObject, NullDataObjectReleasesTheOldOneAndKeepsThePaths) {
    CountingDataObject data(NarrowDropBlock({"C:\\kept.txt"}));
    Handler handler = CreateHandler();
    ASSERT_EQ(S_OK, handler.init->Initialize(nullptr, &data, nullptr));
    EXPECT_EQ(E_FAIL, handler.init->Initialize(nullptr, nullptr, nullptr));
    EXPECT_EQ(data.AddRefCalls(), data.ReleaseCalls());
    EXPECT_EQ("C:\\kept.txt|" + std::string(1, '\0'), ScannedText(handler.menu.Get(), scanner));
    LONG releasesBefore = data.ReleaseCalls();
    handler.init.Reset();  // destruction releases no data object
    handler.menu.Reset();
    EXPECT_EQ(releasesBefore, data.ReleaseCalls());
}

TEST_F(HandlerObject, NoDropFilesMeansFailureAndAnEmptyList) {
    CountingDataObject good(NarrowDropBlock({"C:\\earlier.txt"}));
    CountingDataObject noDrop;
    {
        Handler handler = CreateHandler();
        ASSERT_EQ(S_OK, handler.init->Initialize(nullptr, &good, nullptr));
        EXPECT_EQ(E_FAIL, handler.init->Initialize(nullptr, &noDrop, nullptr));
        EXPECT_EQ(0, noDrop.MediaReleased());
        // Still held until the next Initialize or the end.
        EXPECT_EQ(noDrop.AddRefCalls() - noDrop.ReleaseCalls(), 1);
        EXPECT_EQ(std::string(1, '\0'), ScannedText(handler.menu.Get(), scanner));
    }
    EXPECT_EQ(noDrop.AddRefCalls(), noDrop.ReleaseCalls());
    EXPECT_EQ(good.AddRefCalls(), good.ReleaseCalls());
}

TEST_F(HandlerObject, MediumOfAnotherKindIsReleasedAndRefused) {
    CountingDataObject data(NarrowDropBlock({"C:\\a.txt"}));
    data.OfferAsStream();
    Handler handler = CreateHandler();
    EXPECT_EQ(E_FAIL, handler.init->Initialize(nullptr, &data, nullptr));
    EXPECT_EQ(1, data.MediaReleased());
    EXPECT_EQ(std::string(1, '\0'), ScannedText(handler.menu.Get(), scanner));
}

TEST_F(HandlerObject, GetCommandStringAnswersEverythingAndWritesNothing) {
    Handler handler = CreateHandler();
    for (UINT_PTR offset : {0u, 1u, 2u, 3u, 1000u}) {
        for (UINT type : {GCS_VERBA, GCS_VERBW, GCS_HELPTEXTA, GCS_HELPTEXTW, GCS_VALIDATEA, GCS_VALIDATEW}) {
            char buffer[64];
            memset(buffer, 0xCC, sizeof(buffer));
            EXPECT_EQ(S_OK, handler.menu->GetCommandString(offset, type, nullptr, buffer, 32));
            for (char byte : buffer) ASSERT_EQ(static_cast<char>(0xCC), byte) << offset << " " << type;
        }
    }
}

}  // namespace
