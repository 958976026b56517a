#include "model/io/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace zelvor {

namespace {
constexpr unsigned char kGzipSignature[2] = {0x1f, 0x8b};
constexpr std::size_t kCompressedBufferSize = 256 << 10;
}  // namespace

/// The inflate state of a compressed file and the compressed bytes read ahead for it.
struct CByteSource::Inflater {
    z_stream stream{};
    bool initialised = false;
    bool streamEnded = false;   // the last member's end was reached
    bool fileEnded = false;     // every compressed byte has been read from the file
    std::uint64_t filePosition = 0;  // compressed bytes handed to inflate
    std::unique_ptr<unsigned char[]> input = std::make_unique_for_overwrite<unsigned char[]>(kCompressedBufferSize);

    Inflater() { initialised = inflateInit2(&stream, 16 + MAX_WBITS) == Z_OK; }
    ~Inflater() {
        if (initialised) inflateEnd(&stream);
    }
    void Reset() {
        inflateReset(&stream);
        stream.next_in = nullptr;
        stream.avail_in = 0;
        streamEnded = fileEnded = false;
        filePosition = 0;
    }
};

CByteSource::CByteSource() = default;

CByteSource::~CByteSource() { Close(); }

void CByteSource::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    compressed_ = failed_ = false;
    fileSize_ = plainPosition_ = 0;
    error_.clear();
    inflater_.reset();
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
    if (compressed_) {
        inflater_ = std::make_unique<Inflater>();
        if (!inflater_->initialised) {
            Close();
            return false;
        }
    }
    return true;
}

bool CByteSource::Rewind() {
    if (fd_ < 0) return false;
    failed_ = false;
    error_.clear();
    plainPosition_ = 0;
    if (inflater_) inflater_->Reset();
    if (::lseek(fd_, 0, SEEK_SET) != 0) {
        Fail(std::strerror(errno));
        return false;
    }
    return true;
}

std::uint64_t CByteSource::FilePosition() const {
    return inflater_ ? inflater_->filePosition - inflater_->stream.avail_in : plainPosition_;
}

std::uint64_t CByteSource::MaxBytesLeft() const {
    const std::uint64_t left = fileSize_ > FilePosition() ? fileSize_ - FilePosition() : 0;
    if (!compressed_) return left;
    if (inflater_ && inflater_->streamEnded && inflater_->fileEnded) return 0;
    // What inflate holds back (at most its window) comes on top of what the compressed bytes expand to.
    return left * kMaxInflateRatio + (1u << MAX_WBITS);
}

void CByteSource::Fail(std::string error) {
    if (!failed_) error_ = std::move(error);
    failed_ = true;
}

std::size_t CByteSource::ReadPlain(char* buffer, std::size_t size) {
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

std::size_t CByteSource::Read(char* buffer, std::size_t size) {
    if (fd_ < 0 || failed_ || size == 0) return 0;
    if (!compressed_) return ReadPlain(buffer, size);
    Inflater& z = *inflater_;
    z_stream& s = z.stream;
    s.next_out = reinterpret_cast<Bytef*>(buffer);
    s.avail_out = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
    const uInt wanted = s.avail_out;
    while (s.avail_out > 0 && !failed_) {
        if (z.streamEnded) {
            // Another member may follow (gzip allows members back to back); anything else after the end is
            // ignored, as gzip itself ignores trailing garbage.
            if (s.avail_in == 0 && !z.fileEnded) {
                const std::size_t n = ReadPlain(reinterpret_cast<char*>(z.input.get()), kCompressedBufferSize);
                z.fileEnded = n == 0;
                z.filePosition += n;
                s.next_in = z.input.get();
                s.avail_in = static_cast<uInt>(n);
            }
            if (s.avail_in < 2 || std::memcmp(s.next_in, kGzipSignature, 2) != 0) break;
            inflateReset(&s);
            z.streamEnded = false;
        }
        if (s.avail_in == 0) {
            if (z.fileEnded) {
                Fail("unexpected end of file");
                break;
            }
            const std::size_t n = ReadPlain(reinterpret_cast<char*>(z.input.get()), kCompressedBufferSize);
            if (failed_) break;
            z.fileEnded = n == 0;
            z.filePosition += n;
            s.next_in = z.input.get();
            s.avail_in = static_cast<uInt>(n);
            if (n == 0) continue;
        }
        const int result = inflate(&s, Z_NO_FLUSH);
        if (result == Z_STREAM_END) {
            z.streamEnded = true;
        } else if (result != Z_OK && result != Z_BUF_ERROR) {
            Fail(s.msg ? s.msg : "damaged compressed data");
        }
    }
    return wanted - s.avail_out;
}

}  // namespace zelvor
