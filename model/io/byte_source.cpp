#include "model/io/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zelvor {

namespace {
constexpr unsigned char kGzipSignature[2] = {0x1f, 0x8b};
}  // namespace

CByteSource::CByteSource() = default;

CByteSource::~CByteSource() { Close(); }

void CByteSource::Close() {
    inflater_.reset();  // joins its thread before the file goes
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    compressed_ = failed_ = false;
    fileSize_ = plainPosition_ = 0;
    error_.clear();
}

bool CByteSource::Open(const char* path) {
    Close();
    if (!path) return false;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return false;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    fd_ = fd;
    fileSize_ = static_cast<std::uint64_t>(info.st_size);
    unsigned char signature[2] = {};
    compressed_ = ::pread(fd, signature, 2, 0) == 2 && std::memcmp(signature, kGzipSignature, 2) == 0;
    return true;
}

bool CByteSource::Rewind() {
    if (fd_ < 0) return false;
    inflater_.reset();
    failed_ = false;
    error_.clear();
    plainPosition_ = 0;
    if (::lseek(fd_, 0, SEEK_SET) != 0) {
        Fail(std::strerror(errno));
        return false;
    }
    return true;
}

std::uint64_t CByteSource::FilePosition() const {
    if (!compressed_) return plainPosition_;
    return inflater_ ? inflater_->FilePosition() : 0;
}

std::uint64_t CByteSource::MaxBytesLeft() const {
    if (inflater_) return inflater_->MaxBytesLeft(fileSize_);
    const std::uint64_t left = fileSize_ > FilePosition() ? fileSize_ - FilePosition() : 0;
    if (!compressed_) return left;
    return left * CInflateWorker::kMaxInflateRatio + CInflateWorker::kInflateWindow;
}

void CByteSource::Fail(std::string error) {
    if (!failed_) error_ = std::move(error);
    failed_ = true;
}

std::size_t CByteSource::Read(char* buffer, std::size_t size) {
    if (fd_ < 0 || failed_ || size == 0) return 0;
    if (compressed_) {
        if (!inflater_) inflater_ = std::make_unique<CInflateWorker>(fd_);
        const std::size_t n = inflater_->Read(buffer, size);
        if (n == 0 && inflater_->Failed()) Fail(inflater_->Error());
        return n;
    }
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, size);
        if (n >= 0) {
            plainPosition_ += static_cast<std::uint64_t>(n);
            return static_cast<std::size_t>(n);
        }
        if (errno != EINTR) {
            Fail(std::strerror(errno));
            return 0;
        }
    }
}

}  // namespace zelvor
