// The redirection of the process's standard descriptors. Each case runs in a forked child, since it replaces
// descriptors 0, 1 and 2; the child reports failed checks through a pipe of its own, and an alarm turns a hang
// (a blocked feed, a destructor that never returns) into a failure.
#include "crunch/redirect_stdio.h"

#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <mutex>
#include <random>
#include <string>
#include <thread>

#include "app/gui_stream.h"
#include "tests/app/message_recorder.h"

#if defined(__SANITIZE_THREAD__)
// A race found in a child is reported into its redirected standard error, where nobody sees it; ending the
// child at once makes it fail the test instead.
extern "C" const char* __tsan_default_options() { return "halt_on_error=1"; }
#endif

namespace zelvor {
namespace {

using Strings = std::vector<std::string>;

#define CHECK(condition) \
    if (!(condition)) failures += std::string(#condition) + " (line " + std::to_string(__LINE__) + ")\n"

constexpr char WAKE_LINE[] = "in CRedirectStdIO::~CRedirectStdIO()\n";

/// Runs body in a child process and returns the failures it reported (empty: all checks held).
std::string InChild(const std::function<void(std::string& failures)>& body) {
    int result[2];
    if (pipe(result) != 0) return "no result pipe";
    const pid_t child = fork();
    if (child == 0) {
        close(result[0]);
        alarm(60);
        std::string failures;
        body(failures);
        const bool sent = write(result[1], failures.data(), failures.size()) == static_cast<ssize_t>(failures.size());
        _exit(sent ? 0 : 1);
    }
    close(result[1]);
    std::string failures;
    char buffer[4096];
    for (ssize_t got; (got = read(result[0], buffer, sizeof buffer)) > 0;)
        failures.append(buffer, static_cast<std::size_t>(got));
    close(result[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        failures += "child ended with status " + std::to_string(status) + "\n";
    return failures;
}

/// Bytes of every value, in an order that a lost, repeated or swapped piece cannot hide.
std::string Pattern(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    return bytes;
}

std::string ReadExactly(int fd, std::size_t size) {
    std::string bytes;
    char buffer[8192];
    while (bytes.size() < size) {
        const ssize_t got = read(fd, buffer, std::min(sizeof buffer, size - bytes.size()));
        if (got <= 0) break;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    return bytes;
}

int Waiting(int fd) {
    int count = -1;
    ioctl(fd, FIONREAD, &count);
    return count;
}

/// What the reader thread hands over.
class Collected {
public:
    std::function<void(std::string_view)> Sink() {
        return [this](std::string_view chunk) {
            std::lock_guard lock(mutex_);
            text_.append(chunk);
            largestChunk_ = std::max(largestChunk_, chunk.size());
            arrived_.notify_all();
        };
    }
    /// The limit only ends a hang; the waiting itself is on the condition.
    bool WaitFor(std::size_t size) {
        std::unique_lock lock(mutex_);
        return arrived_.wait_for(lock, std::chrono::seconds(30), [&] { return text_.size() >= size; });
    }
    std::string Text() {
        std::lock_guard lock(mutex_);
        return text_;
    }
    std::size_t LargestChunk() {
        std::lock_guard lock(mutex_);
        return largestChunk_;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::string text_;
    std::size_t largestChunk_ = 0;
};

TEST(RedirectStdIO, EverythingPrintedReachesTheSinkInOrderAndTheDestructorEndsTheReader) {
    EXPECT_EQ(InChild([](std::string& failures) {
        Collected output;
        std::string expected = "printf 1\ncout 2\nwrite 3\nstderr 4\n";
        {
            CRedirectStdIO redirect;
            redirect.StartStdOutThrd(output.Sink());
            redirect.StartStdOutThrd([](std::string_view) {});  // a second start changes nothing
            std::printf("printf %d\n", 1);
            std::cout << "cout " << 2 << '\n';
            CHECK(write(STDERR_FILENO, "write 3\n", 8) == 8);
            std::fputs("stderr 4\n", stderr);
            const std::string large = Pattern(5000, 1);
            CHECK(write(STDOUT_FILENO, large.data(), large.size()) == static_cast<ssize_t>(large.size()));
            expected += large;
            CHECK(output.WaitFor(expected.size()));
            CHECK(output.Text() == expected);
            CHECK(output.LargestChunk() <= 999);
        }
        CHECK(output.Text() == expected + WAKE_LINE);
        // Afterwards the standard descriptors are still usable: no SIGPIPE, no failure.
        CHECK(write(STDOUT_FILENO, "late\n", 5) == 5);
        CHECK(std::printf("late\n") == 5);
    }), "");
}

TEST(RedirectStdIO, FeedingNeverBlocksAndTheModuleReadsTheBytesInOrder) {
    EXPECT_EQ(InChild([](std::string& failures) {
        CRedirectStdIO redirect;
        CHECK(!redirect.FeedText2Stdin("early\n", 6));
        CHECK(Waiting(redirect.StdinRead()) == 0);
        redirect.StartStdOutThrd();
        std::atomic<bool> running = false;
        redirect.SetCalculationRunning([&] { return running.load(); });
        CHECK(!redirect.FeedText2Stdin("idle\n", 5));
        running = true;

        // Sixteen times what the pipe holds, and nobody reads yet: the call still returns at once.
        const std::string text = Pattern(1 << 20, 2);
        CHECK(redirect.FeedText2Stdin(text.data(), text.size()));
        CHECK(redirect.FeedText2Stdin("tail\n", 5));
        std::string read;
        std::thread module([&] { read = ReadExactly(STDIN_FILENO, text.size() + 5); });
        module.join();
        CHECK(read == text + "tail\n");
        CHECK(Waiting(STDIN_FILENO) == 0);

        // Never read: the destructor still returns.
        CHECK(redirect.FeedText2Stdin(text.data(), text.size()));
    }), "");
}

TEST(RedirectStdIO, FeedFile2StdinSendsAFileAndCreatesAMissingOneEmpty) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.path().toStdString();
    EXPECT_EQ(InChild([&](std::string& failures) {
        const std::string content = Pattern(3500, 3);
        std::ofstream(folder + "/input.txt", std::ios::binary) << content;
        test::MessageRecorder recorder;
        CRedirectStdIO redirect;

        const std::string missing = folder + "/missing.txt";
        redirect.FeedFile2Stdin(missing);
        struct stat created {};
        CHECK(stat(missing.c_str(), &created) == 0 && S_ISREG(created.st_mode) && created.st_size == 0);
        CHECK(!redirect.FlushPendingStdInput());

        redirect.FeedFile2Stdin(folder + "/input.txt");
        CHECK(ReadExactly(STDIN_FILENO, content.size()) == content);

        redirect.FeedFile2Stdin(folder);  // a folder cannot be read as a file
        CHECK(recorder.Texts() == Strings{"no input file\n"});
    }), "");
}

TEST(RedirectStdIO, FlushPendingStdInputHandsUnreadInputToTheOutputInOrder) {
    EXPECT_EQ(InChild([](std::string& failures) {
        Collected output;
        CRedirectStdIO redirect;
        redirect.StartStdOutThrd(output.Sink());
        CHECK(!redirect.FlushPendingStdInput());

        // Partly in the pipe, mostly still queued when flushed.
        const std::string text = Pattern(1 << 20, 4);
        CHECK(redirect.FeedText2Stdin(text.data(), text.size()));
        CHECK(redirect.FlushPendingStdInput());
        CHECK(output.WaitFor(text.size()));
        CHECK(output.Text() == text);
        CHECK(Waiting(STDIN_FILENO) == 0);
        CHECK(!redirect.FlushPendingStdInput());

        CHECK(redirect.FeedText2Stdin("after\n", 6));
        CHECK(ReadExactly(STDIN_FILENO, 6) == "after\n");
    }), "");
}

TEST(RedirectStdIO, WithoutDescriptorsTheFailuresAreReportedAndNothingHangs) {
    EXPECT_EQ(InChild([](std::string& failures) {
        // UndefinedBehaviorSanitizer checks an object's type by writing it into a pipe of its own. Once the
        // redirector and a report were made while descriptors were left, it knows the types and needs no pipe.
        test::MessageRecorder recorder;
        delete new CRedirectStdIO;
        MessageStream() << "with descriptors" << std::endl;
        const int lowestFree = dup(STDIN_FILENO);
        close(lowestFree);
        rlimit limit{};
        getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = static_cast<rlim_t>(lowestFree);
        CHECK(setrlimit(RLIMIT_NOFILE, &limit) == 0);
        {
            CRedirectStdIO redirect;
            redirect.StartStdOutThrd();
            CHECK(!redirect.FeedText2Stdin("x\n", 2));
            CHECK(!redirect.FlushPendingStdInput());
        }
        CHECK(recorder.Texts() == (Strings{"with descriptors\n", "Stdout pipe creation failed\n",
                                            "Stdin pipe creation failed\n"}));
    }), "");
}

}  // namespace
}  // namespace zelvor
