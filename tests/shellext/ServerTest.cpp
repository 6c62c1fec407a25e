// The server's entry points and class factory: which class and interfaces it hands out, and
// when the library may be unloaded.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "AllocationFaults.h"
#include "PellicorLibrary.h"

namespace {

const CLSID kOtherClsid = {0x5D0E27A4, 0x91C3, 0x4B7F, {0x8E, 0x62, 0xC1, 0xA9, 0xF0, 0x3B, 0x7D, 0x59}};

TEST(ServerEntryPoints, UnloadableRightAfterLoading) { EXPECT_EQ(S_OK, PellicorCanUnloadNow()); }

TEST(ServerEntryPoints, FactoryCountsAndUnloading) {
    IClassFactory* factory = nullptr;
    ASSERT_EQ(S_OK, PellicorGetClassObject(kHandlerClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)));
    ASSERT_NE(nullptr, factory);
    EXPECT_EQ(S_FALSE, PellicorCanUnloadNow());
    EXPECT_EQ(2u, factory->AddRef());
    EXPECT_EQ(1u, factory->Release());
    EXPECT_EQ(S_FALSE, PellicorCanUnloadNow());
    EXPECT_EQ(0u, factory->Release());
    EXPECT_EQ(S_OK, PellicorCanUnloadNow());
}

TEST(ServerEntryPoints, EveryCallMakesANewFactory) {
    ComRef<IClassFactory> first, second;
    ASSERT_EQ(S_OK, PellicorGetClassObject(kHandlerClsid, IID_IClassFactory, first.OutVoid()));
    ASSERT_EQ(S_OK, PellicorGetClassObject(kHandlerClsid, IID_IClassFactory, second.OutVoid()));
    EXPECT_NE(first.Get(), second.Get());
    first.Reset();
    EXPECT_EQ(S_FALSE, PellicorCanUnloadNow());
    second.Reset();
    EXPECT_EQ(S_OK, PellicorCanUnloadNow());
}

TEST(ServerEntryPoints, UnknownIsTheFactoryItself) {
    ComRef<IUnknown> unknown;
    ASSERT_EQ(S_OK, PellicorGetClassObject(kHandlerClsid, IID_IUnknown, unknown.OutVoid()));
    ComRef<IClassFactory> factory;
    ASSERT_EQ(S_OK, unknown->QueryInterface(IID_IClassFactory, factory.OutVoid()));
    EXPECT_EQ(static_cast<void*>(unknown.Get()), static_cast<void*>(factory.Get()));
    ComRef<IUnknown> again;
    ASSERT_EQ(S_OK, factory->QueryInterface(IID_IUnknown, again.OutVoid()));
    EXPECT_EQ(unknown.Get(), again.Get());
    EXPECT_EQ(3u, RefCount(factory.Get()));
    ComRef<IUnknown> none;
    EXPECT_EQ(E_NOINTERFACE, factory->QueryInterface(IID_IContextMenu, none.OutVoid()));
    EXPECT_EQ(nullptr, none.Get());
    EXPECT_EQ(3u, RefCount(factory.Get()));
}

TEST(ServerEntryPoints, OtherClassesAreNotAvailable) {
    for (const CLSID& clsid : {kOtherClsid, CLSID_NULL, IID_IClassFactory}) {
        for (const IID& iid : {IID_IClassFactory, IID_IUnknown, IID_IContextMenu}) {
            void* out = reinterpret_cast<void*>(0x1234);
            EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, PellicorGetClassObject(clsid, iid, &out));
            EXPECT_EQ(nullptr, out);
        }
    }
    EXPECT_EQ(S_OK, PellicorCanUnloadNow());
}

TEST(ServerEntryPoints, FactoryForAnInterfaceItLacksIsNotKeptAlive) {
    for (const IID& iid : {IID_IContextMenu, IID_IShellExtInit, IID_IDataObject}) {
        void* out = reinterpret_cast<void*>(0x1234);
        EXPECT_EQ(E_NOINTERFACE, PellicorGetClassObject(kHandlerClsid, iid, &out));
        EXPECT_EQ(nullptr, out);
        EXPECT_EQ(S_OK, PellicorCanUnloadNow());
    }
}

TEST(ServerEntryPoints, NullOutPointerIsRefused) {
    EXPECT_EQ(E_POINTER, PellicorGetClassObject(kHandlerClsid, IID_IClassFactory, nullptr));
    EXPECT_EQ(S_OK, PellicorCanUnloadNow());
}

class ClassFactory : public testing::Test {
protected:
    ComRef<IClassFactory> factory;
    void SetUp() override {
        ASSERT_EQ(S_OK, PellicorGetClassObject(kHandlerClsid, IID_IClassFactory, factory.OutVoid()));
    }
};

TEST_F(ClassFactory, HandlerOutlivesItsFactory) {
    ComRef<IContextMenu> handler;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IContextMenu, handler.OutVoid()));
    EXPECT_EQ(1u, RefCount(handler.Get()));
    factory.Reset();
    EXPECT_EQ(S_FALSE, PellicorCanUnloadNow());
    handler.Reset();
    EXPECT_EQ(S_OK, PellicorCanUnloadNow());
}

TEST_F(ClassFactory, EachInterfaceOfTheHandler) {
    for (const IID& iid : {IID_IContextMenu, IID_IShellExtInit, IID_IUnknown}) {
        ComRef<IUnknown> handler;
        ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, iid, handler.OutVoid()));
        EXPECT_EQ(1u, RefCount(handler.Get()));
    }
    factory.Reset();
    EXPECT_EQ(S_OK, PellicorCanUnloadNow());
}

TEST_F(ClassFactory, NoAggregation) {
    ComRef<IUnknown> outer;
    ASSERT_EQ(S_OK, PellicorGetClassObject(kHandlerClsid, IID_IUnknown, outer.OutVoid()));  // any object will do
    void* out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(outer.Get(), IID_IUnknown, &out));
    EXPECT_EQ(nullptr, out);
    outer.Reset();
    factory.Reset();
    EXPECT_EQ(S_OK, PellicorCanUnloadNow());
}

TEST_F(ClassFactory, HandlerForAnInterfaceItLacksIsNotKeptAlive) {
    for (const IID& iid : {IID_IClassFactory, IID_IDataObject, IID_IContextMenu2}) {
        void* out = reinterpret_cast<void*>(0x1234);
        EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, iid, &out));
        EXPECT_EQ(nullptr, out);
    }
    factory.Reset();
    EXPECT_EQ(S_OK, PellicorCanUnloadNow());
}

TEST_F(ClassFactory, ServerLocksAreNotCounted) {
    EXPECT_EQ(S_OK, factory->LockServer(TRUE));
    EXPECT_EQ(1u, RefCount(factory.Get()));
    factory.Reset();
    EXPECT_EQ(S_OK, PellicorCanUnloadNow());
    ASSERT_EQ(S_OK, PellicorGetClassObject(kHandlerClsid, IID_IClassFactory, factory.OutVoid()));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    EXPECT_EQ(S_OK, factory->LockServer(FALSE));
    factory.Reset();
    EXPECT_EQ(S_OK, PellicorCanUnloadNow());
}

TEST(ServerOutOfMemory, NoFactory) {
    void* out = reinterpret_cast<void*>(0x1234);
    {
        FailingAllocation faults;
        EXPECT_EQ(E_OUTOFMEMORY, PellicorGetClassObject(kHandlerClsid, IID_IClassFactory, &out));
        EXPECT_GE(faults.Calls(), 1);
    }
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(S_OK, PellicorCanUnloadNow());
}

TEST(ServerOutOfMemory, NoHandler) {
    ComRef<IClassFactory> factory;
    ASSERT_EQ(S_OK, PellicorGetClassObject(kHandlerClsid, IID_IClassFactory, factory.OutVoid()));
    void* out = reinterpret_cast<void*>(0x1234);
    {
        FailingAllocation faults;
        EXPECT_EQ(E_OUTOFMEMORY, factory->CreateInstance(nullptr, IID_IContextMenu, &out));
    }
    EXPECT_EQ(nullptr, out);
    factory.Reset();
    EXPECT_EQ(S_OK, PellicorCanUnloadNow());
}

// Threads that start their work at the same moment, so that it overlaps.
class StartTogether {
public:
    explicit StartTogether(int threads) : m_waiting(threads) {}
    void Arrive() {
        --m_waiting;
        while (m_waiting.load() > 0) {
        }
    }

private:
    std::atomic<int> m_waiting;
};

// Factories and handlers live and die on many threads at once; no change of the count is lost.
TEST(LiveObjects, ObjectsOnManyThreadsAtOnce) {
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    StartTogether start(4);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            start.Arrive();
            for (int i = 0; i < 400000; ++i) {
                IClassFactory* factory = nullptr;
                if (PellicorGetClassObject(kHandlerClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)) != S_OK) {
                    ++failures;
                    continue;
                }
                if (i % 100 == 0) {  // handlers are slower to make (they load their bitmap)
                    IUnknown* handler = nullptr;
                    if (factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&handler)) == S_OK)
                        handler->Release();
                    else
                        ++failures;
                }
                factory->Release();
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(0, failures.load());
    EXPECT_EQ(S_OK, PellicorCanUnloadNow());
}

// Every AddRef and Release reports the count its own change made, whatever other threads do.
TEST(LiveObjects, SharedObjectCountsOnManyThreads) {
    ComRef<IClassFactory> factory;
    ASSERT_EQ(S_OK, PellicorGetClassObject(kHandlerClsid, IID_IClassFactory, factory.OutVoid()));
    ComRef<IUnknown> handler;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IUnknown, handler.OutVoid()));
    std::atomic<int> implausible{0};
    std::vector<std::thread> threads;
    StartTogether start(4);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            start.Arrive();
            for (int i = 0; i < 500000; ++i) {
                for (IUnknown* object : {static_cast<IUnknown*>(factory.Get()), handler.Get()}) {
                    ULONG up = object->AddRef();
                    ULONG down = object->Release();
                    if (up < 2 || up > 5 || down < 1 || down > 4) ++implausible;
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(0, implausible.load());
    EXPECT_EQ(0u, handler.Detach()->Release());
    EXPECT_EQ(0u, factory.Detach()->Release());
    EXPECT_EQ(S_OK, PellicorCanUnloadNow());
}

}  // namespace
