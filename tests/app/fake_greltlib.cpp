// A stand-in for libgreltlib.so that counts the calls the program makes. Built twice: with all five exports,
// and with FAKE_GRELT_WITHOUT_TAG (TagAs3rdPartyModule missing).
#include "fake_greltlib.h"

namespace {
FakeGreltCalls calls;
int handlerObject = 0;
}  // namespace

extern "C" {

__attribute__((visibility("default"))) FakeGreltCalls* FakeGreltCallCounts() { return &calls; }

__attribute__((visibility("default"))) void* InitialiseGreltHandler(const char* name, const char* address,
                                                                    void* owner) {
    ++calls.initialise;
    calls.recipientName = name ? name : "";
    calls.recipientAddress = address ? address : "";
    calls.owner = owner;
    return &handlerObject;
}

__attribute__((visibility("default"))) void StopUsingGreltHandler() { ++calls.stopUsing; }

__attribute__((visibility("default"))) int SetDiagnosticGreltHandler(int) { return 1; }

__attribute__((visibility("default"))) void* UseMyGreltHandler() { return nullptr; }

#ifndef FAKE_GRELT_WITHOUT_TAG
__attribute__((visibility("default"))) int TagAs3rdPartyModule(const char*) { return 1; }
#endif
}
