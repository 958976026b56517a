#include "app/module_guard.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <thread>

namespace zelvor {
namespace {

// Stands in for a faulty module: writes through a null pointer the compiler can't see coming.
__attribute__((noinline, no_sanitize("undefined"))) void WriteThroughNull() {
    static volatile std::uintptr_t address = 0;
    *reinterpret_cast<volatile int*>(address) = 42;
}

TEST(GuardedCall, NullWriteBecomesAModuleFault) {
    try {
        GuardedCall(WriteThroughNull);
        FAIL() << "no fault";
    } catch (const ModuleFault& fault) {
        EXPECT_EQ(fault.Signal(), SIGSEGV);
        EXPECT_EQ(fault.Address(), nullptr);
        EXPECT_NE(std::string(fault.what()).find("SIGSEGV"), std::string::npos);
    }
}

TEST(GuardedCall, ArithmeticFaultBecomesAModuleFaultAndTheGuardCanBeUsedAgain) {
    for (int round = 0; round < 3; ++round) {
        EXPECT_THROW(GuardedCall([] { std::raise(SIGFPE); }), ModuleFault);
    }
    try {
        GuardedCall([] { std::raise(SIGFPE); });
    } catch (const ModuleFault& fault) {
        EXPECT_EQ(fault.Signal(), SIGFPE);
    }
}

TEST(GuardedCall, OrdinaryCallsAndExceptionsPassThrough) {
    int calls = 0;
    GuardedCall([&] { ++calls; });
    EXPECT_EQ(calls, 1);
    EXPECT_THROW(GuardedCall([] { throw std::out_of_range("module"); }), std::out_of_range);
}

TEST(GuardedCall, NestedFaultIsCaughtByTheInnerGuard) {
    bool innerCaught = false;
    GuardedCall([&] {
        try {
            GuardedCall(WriteThroughNull);
        } catch (const ModuleFault&) {
            innerCaught = true;
        }
    });
    EXPECT_TRUE(innerCaught);
    // The outer guard still works after the inner one unwound.
    EXPECT_THROW(GuardedCall([] { std::raise(SIGFPE); }), ModuleFault);
}

TEST(GuardedCall, HandlersAreInstalledOnlyDuringTheCall) {
    struct sigaction before {};
    struct sigaction during {};
    struct sigaction after {};
    sigaction(SIGSEGV, nullptr, &before);
    GuardedCall([&] { sigaction(SIGSEGV, nullptr, &during); });
    sigaction(SIGSEGV, nullptr, &after);
    EXPECT_NE(reinterpret_cast<void*>(during.sa_sigaction), reinterpret_cast<void*>(before.sa_sigaction));
    EXPECT_EQ(reinterpret_cast<void*>(after.sa_sigaction), reinterpret_cast<void*>(before.sa_sigaction));
}

TEST(GuardedCall, EachThreadHasItsOwnGuard) {
    bool caught[2] = {false, false};
    std::thread threads[2];
    for (int i = 0; i < 2; ++i) {
        threads[i] = std::thread([&caught, i] {
            try {
                GuardedCall([] { std::raise(SIGFPE); });
            } catch (const ModuleFault& fault) {
                caught[i] = fault.Signal() == SIGFPE;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_TRUE(caught[0]);
    EXPECT_TRUE(caught[1]);
}

}  // namespace
}  // namespace zelvor
