#pragma once
/// The harnesses' input as a file: the readers take a path, so each input is written into one in-memory
/// file that every run reuses (no descriptor or temporary file piles up over millions of runs) and is
/// read back through /proc/self/fd.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace zelvor::fuzz {

class CFuzzInputFile {
public:
    CFuzzInputFile() : fd_(memfd_create("zelvor-fuzz-input", MFD_CLOEXEC)) {
        if (fd_ < 0) std::abort();
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~CFuzzInputFile() { close(fd_); }
    CFuzzInputFile(const CFuzzInputFile&) = delete;
    CFuzzInputFile& operator=(const CFuzzInputFile&) = delete;

    /// Replaces the file's content with the bytes; returns the path to open it by.
    const char* Write(const std::uint8_t* data, std::size_t size) {
        if (ftruncate(fd_, 0) != 0) std::abort();
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0) std::abort();
            done += static_cast<std::size_t>(n);
        }
        return path_.c_str();
    }

private:
    int fd_;
    std::string path_;
};

}  // namespace zelvor::fuzz
