#include "platform/named_event.h"

#include <map>

namespace zelvor {

namespace {

std::mutex registryMutex;
std::map<std::string, std::weak_ptr<NamedEvent>>& Registry() {
    static std::map<std::string, std::weak_ptr<NamedEvent>> registry;
    return registry;
}

}  // namespace

std::shared_ptr<NamedEvent> NamedEvent::Create(const std::string& name, ResetMode mode, bool initiallySet) {
    if (name.empty()) return std::make_shared<NamedEvent>(mode, initiallySet);
    std::lock_guard lock(registryMutex);
    auto& registry = Registry();
    // Drop entries of events that no longer exist, so the map stays as small as the live set.
    std::erase_if(registry, [](const auto& entry) { return entry.second.expired(); });
    if (auto existing = registry[name].lock()) return existing;
    auto event = std::make_shared<NamedEvent>(mode, initiallySet);
    registry[name] = event;
    return event;
}

std::shared_ptr<NamedEvent> NamedEvent::Open(const std::string& name) {
    std::lock_guard lock(registryMutex);
    auto& registry = Registry();
    const auto found = registry.find(name);
    return found == registry.end() ? nullptr : found->second.lock();
}

void NamedEvent::Set() {
    {
        std::lock_guard lock(mutex_);
        signalled_ = true;
    }
    if (mode_ == ResetMode::Manual)
        changed_.notify_all();
    else
        changed_.notify_one();
}

void NamedEvent::Reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

void NamedEvent::Pulse() {
    std::unique_lock lock(mutex_);
    if (mode_ == ResetMode::Manual) {
        ++pulses_;
        signalled_ = false;
        lock.unlock();
        changed_.notify_all();
    } else if (waiters_ > 0) {
        // The one waiter that wakes takes the signal and resets it.
        signalled_ = true;
        lock.unlock();
        changed_.notify_one();
    } else {
        signalled_ = false;
    }
}

template <class Until>
bool NamedEvent::WaitWith(Until&& until) {
    std::unique_lock lock(mutex_);
    const std::uint64_t pulsesAtStart = pulses_;
    ++waiters_;
    const bool released = until(lock, [&] { return signalled_ || pulses_ != pulsesAtStart; });
    --waiters_;
    if (released && signalled_ && mode_ == ResetMode::Automatic) signalled_ = false;
    return released;
}

bool NamedEvent::Wait(std::chrono::milliseconds timeout) {
    return WaitWith([&](std::unique_lock<std::mutex>& lock, auto ready) {
        return changed_.wait_for(lock, timeout, ready);
    });
}

void NamedEvent::Wait() {
    WaitWith([&](std::unique_lock<std::mutex>& lock, auto ready) {
        changed_.wait(lock, ready);
        return true;
    });
}

bool NamedEvent::IsSet() const {
    std::lock_guard lock(mutex_);
    return signalled_;
}

int NamedEvent::Waiters() const {
    std::lock_guard lock(mutex_);
    return waiters_;
}

}  // namespace zelvor
