// Factories and handlers made and released on eight threads at once through the exports:
// the library never says it may be unloaded while one of them lives, and says so at the end.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "PellicorLibrary.h"

namespace {

const int kThreads = 8;
// Each handler loads its bitmap: under Wine on this shared machine 8 x 100,000 ran past 6 minutes
// without finishing, while 8 x 30,000 takes about 70 s, well inside the suite's limit per test.
const long kCyclesPerThread = 30000;

// Threads that start their work at the same moment, so that it overlaps.
class StartTogether {
public:
    explicit StartTogether(int threads) : m_waiting(threads) {}
    void Arrive() {
        --m_waiting;
        while (m_waiting.load() > 0) std::this_thread::yield();
    }

private:
    std::atomic<int> m_waiting;
};

struct ThreadTally {
    long created = 0;
    long failures = 0;
    long unloadWhileAlive = 0;   // DllCanUnloadNow said S_OK while this thread held objects
    long wrongFinalRelease = 0;  // a last Release did not report 0
};

void CreateAndRelease(StartTogether& start, ThreadTally& tally) {
    start.Arrive();
    for (long i = 0; i < kCyclesPerThread; ++i) {
        IClassFactory* factory = nullptr;
        if (PellicorGetClassObject(kHandlerClsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)) != S_OK ||
            !factory) {
            ++tally.failures;
            continue;
        }
        if (PellicorCanUnloadNow() != S_FALSE) ++tally.unloadWhileAlive;
        IContextMenu* handler = nullptr;
        if (factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&handler)) != S_OK || !handler) {
            ++tally.failures;
        } else {
            ++tally.created;
            if (factory->Release() != 0) ++tally.wrongFinalRelease;
            factory = nullptr;
            if (PellicorCanUnloadNow() != S_FALSE) ++tally.unloadWhileAlive;  // the handler alone
            if (handler->Release() != 0) ++tally.wrongFinalRelease;
        }
        if (factory && factory->Release() != 0) ++tally.wrongFinalRelease;
    }
}

TEST(Threads, EightThreadsCreateAndReleaseFactoriesAndHandlers) {
    ASSERT_EQ(S_OK, PellicorCanUnloadNow());
    std::vector<ThreadTally> tallies(kThreads);
    StartTogether start(kThreads);
    std::vector<std::thread> threads;
    ULONGLONG began = GetTickCount64();
    for (int t = 0; t < kThreads; ++t) threads.emplace_back(CreateAndRelease, std::ref(start), std::ref(tallies[t]));
    for (std::thread& thread : threads) thread.join();
    // For the record only: how long the platform took (no assertion on it).
    std::printf("%d threads x %ld cycles: %llu ms\n", kThreads, kCyclesPerThread, GetTickCount64() - began);

    for (int t = 0; t < kThreads; ++t) {
        SCOPED_TRACE("thread " + std::to_string(t));
        EXPECT_EQ(kCyclesPerThread, tallies[t].created);
        EXPECT_EQ(0, tallies[t].failures);
        EXPECT_EQ(0, tallies[t].unloadWhileAlive);
        EXPECT_EQ(0, tallies[t].wrongFinalRelease);
    }
    EXPECT_EQ(S_OK, PellicorCanUnloadNow());
}

// One object held on the main thread all along: no thread's last release may let the count reach
// zero while it lives, and its own release at the end does.
TEST(Threads, AnObjectHeldThroughoutKeepsTheLibrary) {
    ComRef<IClassFactory> held;
    ASSERT_EQ(S_OK, PellicorGetClassObject(kHandlerClsid, IID_IClassFactory, held.OutVoid()));
    std::atomic<bool> running{true};
    std::atomic<long> unloadSeen{0}, samples{0};
    std::thread watcher([&] {
        while (running.load()) {
            if (PellicorCanUnloadNow() == S_OK) ++unloadSeen;
            ++samples;
        }
    });
    std::vector<std::thread> threads;
    StartTogether start(kThreads);
    std::vector<ThreadTally> tallies(kThreads);
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            start.Arrive();
            for (long i = 0; i < kCyclesPerThread / 10; ++i) {
                IUnknown* object = nullptr;
                if (held->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object)) == S_OK && object)
                    object->Release();
                else
                    ++tallies[t].failures;
            }
        });
    for (std::thread& thread : threads) thread.join();
    running = false;
    watcher.join();
    for (const ThreadTally& tally : tallies) EXPECT_EQ(0, tally.failures);
    EXPECT_GT(samples.load(), 0);
    EXPECT_EQ(0, unloadSeen.load());
    EXPECT_EQ(S_FALSE, PellicorCanUnloadNow());
    held.Reset();
    EXPECT_EQ(S_OK, PellicorCanUnloadNow());
}

}  // namespace
