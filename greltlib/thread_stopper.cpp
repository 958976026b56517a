#include "greltlib/thread_stopper.h"

#include "greltlib/proc_text.h"
#include "greltlib/raw_thread.h"
#include "greltlib/signal_safe_format.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <linux/futex.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

namespace zelvor::grelt {

namespace {

constexpr int kMaxThreads = 512;
constexpr std::size_t kListingCapacity = 64 * 1024;
// The directory listing uses the first part of its buffer, a thread's status text the rest.
constexpr std::size_t kStatusOffset = 32 * 1024;

// One stopper is active in the process; the stop signal's handler finds it here.
std::atomic<ThreadStopper*> activeStopper{nullptr};
// Stop rounds: the answers of one round, and the release that ends it.
std::atomic<int> answerCount{0};
std::atomic<int> releaseGeneration{0};
// Per signalled thread: 1 once its registers are saved in the stopper's copy.
std::atomic<int> answeredFlags[kMaxThreads];
// The saved registers, indexed like the signalled threads; a late answer lands here, never in the
// compacted list the dump is written from.
CrashedThread* savedThreads = nullptr;
pid_t* signalledIds = nullptr;
std::atomic<int> signalledTotal{0};

std::int64_t MonotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

bool ParseThreadId(const char* name, pid_t& id) {
    if (*name < '0' || *name > '9') return false;
    long value = 0;
    for (; *name; ++name) {
        if (*name < '0' || *name > '9') return false;
        value = value * 10 + (*name - '0');
    }
    id = static_cast<pid_t>(value);
    return true;
}

// True when the thread blocks signal (the "SigBlk" mask of its status): it cannot answer, so waiting for it
// would only delay the report. Graphics drivers start their worker threads with every signal blocked.
bool BlocksSignal(pid_t thread, int signal, char* buffer, std::size_t capacity) {
    char path[48];
    TextBuffer name(path, sizeof path);
    name.Text("/proc/self/task/").Decimal(thread).Text("/status");
    const int fd = static_cast<int>(syscall(SYS_openat, AT_FDCWD, path, O_RDONLY | O_CLOEXEC));
    if (fd < 0) return false;
    long length = 0;
    for (long n; length < static_cast<long>(capacity) &&
                 (n = syscall(SYS_read, fd, buffer + length, capacity - static_cast<std::size_t>(length))) > 0;)
        length += n;
    syscall(SYS_close, fd);
    const char* end = buffer + (length > 0 ? length : 0);
    static constexpr char kKey[] = "\nSigBlk:";
    for (const char* p = buffer; p + sizeof kKey - 1 <= end; ++p) {
        if (std::memcmp(p, kKey, sizeof kKey - 1) != 0) continue;
        p += sizeof kKey - 1;
        SkipSpaces(p, end);
        std::uint64_t mask = 0;
        return ParseHex(p, end, mask) && (mask >> (signal - 1) & 1u);
    }
    return false;
}

}  // namespace

ThreadStopper::~ThreadStopper() {
    Uninstall();
    ThreadStopper* self = this;
    activeStopper.compare_exchange_strong(self, nullptr);
    if (arena_) munmap(arena_, arenaSize_);
}

bool ThreadStopper::Prepare(int stopSignal) {
    if (!arena_) {
        const std::size_t threadBytes = sizeof(CrashedThread) * (kMaxThreads + 1);
        arenaSize_ = 2 * threadBytes + 2 * sizeof(pid_t) * kMaxThreads + kListingCapacity;
        void* arena = mmap(nullptr, arenaSize_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (arena == MAP_FAILED) return false;
        madvise(arena, arenaSize_, MADV_DONTDUMP);  // bookkeeping, not the program's state
        arena_ = arena;
        char* p = static_cast<char*>(arena);
        threads_ = reinterpret_cast<CrashedThread*>(p), p += threadBytes;
        savedThreads = reinterpret_cast<CrashedThread*>(p), p += threadBytes;
        signalled_ = reinterpret_cast<pid_t*>(p), p += sizeof(pid_t) * kMaxThreads;
        silent_ = reinterpret_cast<pid_t*>(p), p += sizeof(pid_t) * kMaxThreads;
        listing_ = p;
        capacity_ = kMaxThreads;
        signalledIds = signalled_;
    }
    activeStopper.store(this);
    if (installed_ && stopSignal_ == stopSignal) return true;
    Uninstall();
    stopSignal_ = stopSignal;
    struct sigaction action {};
    action.sa_sigaction = OnStopSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
    sigemptyset(&action.sa_mask);
    if (sigaction(stopSignal, &action, &previous_) != 0) return false;
    installed_ = true;
    return true;
}

void ThreadStopper::Uninstall() {
    if (!installed_) return;
    sigaction(stopSignal_, &previous_, nullptr);
    installed_ = false;
}

void ThreadStopper::OnStopSignal(int, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    // Only the crash handler's own signal counts: a stray one sent with kill(1) is ignored.
    if (info && info->si_code == SI_TKILL && info->si_pid == getpid() && activeStopper.load())
        activeStopper.load()->Answer(context);
    errno = savedErrno;
}

void ThreadStopper::Answer(const void* context) {
    const int generation = releaseGeneration.load();
    const pid_t self = ThisThread();
    const int total = signalledTotal.load();
    int index = -1;
    for (int i = 0; i < total; ++i)
        if (__atomic_load_n(&signalledIds[i], __ATOMIC_ACQUIRE) == self) index = i;
    if (index < 0) return;  // signalled in an earlier round that has ended
    SaveCrashedThread(savedThreads[index], self, context);
    answeredFlags[index].store(1);
    answerCount.fetch_add(1);
    FutexWake(answerCount);
    while (releaseGeneration.load() == generation) FutexWait(releaseGeneration, generation, nullptr);
}

int ThreadStopper::StopOthers(pid_t self) {
    answered_ = 0;
    silentCount_ = 0;
    signalledCount_ = 0;
    answerCount.store(0);
    signalledTotal.store(0);
    const pid_t process = getpid();

    const int directory = static_cast<int>(syscall(SYS_openat, AT_FDCWD, "/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory >= 0) {
        for (;;) {
            const long length = syscall(SYS_getdents64, directory, listing_, kStatusOffset);
            if (length <= 0) break;
            for (long offset = 0; offset < length;) {
                const char* entry = listing_ + offset;
                unsigned short recordLength = 0;
                std::memcpy(&recordLength, entry + 16, sizeof recordLength);
                offset += recordLength;
                pid_t thread = 0;
                if (!ParseThreadId(entry + 19, thread) || thread == self) continue;
                if (signalledCount_ >= capacity_ || BlocksSignal(thread, stopSignal_, listing_ + kStatusOffset,
                                                                 kListingCapacity - kStatusOffset)) {
                    if (silentCount_ < capacity_) silent_[silentCount_++] = thread;
                    continue;
                }
                const int index = signalledCount_++;
                answeredFlags[index].store(0);
                __atomic_store_n(&signalled_[index], thread, __ATOMIC_RELEASE);
                signalledTotal.store(signalledCount_);
                if (syscall(SYS_tgkill, process, thread, stopSignal_) != 0) {
                    __atomic_store_n(&signalled_[index], 0, __ATOMIC_RELEASE);  // it ended meanwhile
                }
            }
        }
        syscall(SYS_close, directory);
    }

    int expected = 0;
    for (int i = 0; i < signalledCount_; ++i)
        if (signalled_[i] != 0) ++expected;
    const std::int64_t deadline = MonotonicMs() + kAnswerTimeoutMs;
    for (int n; (n = answerCount.load()) < expected;) {
        const std::int64_t left = deadline - MonotonicMs();
        if (left <= 0) break;
        const timespec wait{static_cast<time_t>(left / 1000), static_cast<long>(left % 1000) * 1000000};
        FutexWait(answerCount, n, &wait);
    }

    // The dump's thread list: the answers, in the order the threads were listed.
    for (int i = 0; i < signalledCount_; ++i) {
        if (signalled_[i] == 0) continue;
        if (answeredFlags[i].load())
            std::memcpy(&threads_[1 + answered_++], &savedThreads[i], sizeof(CrashedThread));
        else if (silentCount_ < capacity_)
            silent_[silentCount_++] = signalled_[i];
    }
    for (int i = 1; i <= answered_; ++i)
        threads_[i].context.uc_mcontext.fpregs = &threads_[i].context.__fpregs_mem;
    return answered_;
}

void ThreadStopper::ReleaseOthers() {
    signalledTotal.store(0);  // a late answer after this finds no slot and returns at once
    releaseGeneration.fetch_add(1);
    FutexWake(releaseGeneration);
}

}  // namespace zelvor::grelt
