#include "greltlib/helper/report_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zelvor::grelt {

namespace {

constexpr std::size_t kMaxReport = 8u << 20;

// Opened without blocking (a FIFO would wait for a writer) and kept only when it is a regular file.
int OpenRegular(const std::string& path, int flags) {
    const int fd = open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

bool AppendToReport(const std::string& logPath, const std::string& text) {
    const int fd = OpenRegular(logPath, O_WRONLY | O_APPEND);
    if (fd < 0) return false;
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<std::size_t>(n);
    }
    close(fd);
    return written == text.size();
}

std::string ReadReport(const std::string& logPath) {
    const int fd = OpenRegular(logPath, O_RDONLY);
    if (fd < 0) return {};
    std::string text;
    char block[16384];
    while (text.size() < kMaxReport) {
        const ssize_t n = read(fd, block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(block, static_cast<std::size_t>(n));
    }
    close(fd);
    if (text.size() > kMaxReport) text.resize(kMaxReport);
    return text;
}

}  // namespace zelvor::grelt
