#pragma once
/// What the fake crash-handler library records (see fake_greltlib.cpp).
#include <string>

struct FakeGreltCalls {
    int initialise = 0;
    int stopUsing = 0;
    std::string recipientName;
    std::string recipientAddress;
    const void* owner = reinterpret_cast<const void*>(1);
};
