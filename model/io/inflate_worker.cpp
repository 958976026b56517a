#include "model/io/inflate_worker.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/thread_registration.h"

namespace zelvor {

namespace {

constexpr unsigned char kGzipSignature[2] = {0x1f, 0x8b};
/// Blocks start small and double up to the largest size, so a small file costs little memory and a
/// large one few hand-overs.
constexpr std::size_t kFirstBlockSize = 64 << 10;
constexpr std::size_t kBlockSize = 1 << 20;
/// Blocks inflated ahead of the reader: enough to ride out an uneven pace, little memory.
constexpr std::size_t kBlocksAhead = 4;
constexpr std::size_t kInputSize = 256 << 10;

/// Reads up to size bytes of fd; -1 on an error.
ssize_t ReadSome(int fd, unsigned char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n >= 0 || errno != EINTR) return n;
    }
}

}  // namespace

CInflateWorker::CInflateWorker(int fd) : thread_(&CInflateWorker::Run, this, fd) {}

CInflateWorker::~CInflateWorker() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

CInflateWorker::Buffer* CInflateWorker::FreeBuffer(std::size_t capacity) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stop_ || ready_.size() < kBlocksAhead; });
    if (stop_) return nullptr;
    if (!spare_.empty()) {
        filling_ = std::move(spare_.back());
        spare_.pop_back();
    }
    // A buffer handed to the reader leaves filling_ without memory.
    if (!filling_.bytes || filling_.capacity < capacity) {
        filling_.bytes = std::make_unique_for_overwrite<char[]>(capacity);
        filling_.capacity = capacity;
    }
    return &filling_;
}

void CInflateWorker::Deliver(Buffer&& buffer, std::size_t size, std::uint64_t inputUsed, bool finished,
                             std::string error) {
    {
        std::lock_guard lock(mutex_);
        inputUsed_ = inputUsed;
        if (size > 0) {
            ready_.push_back(Block{std::move(buffer), size, 0});
            held_ += size;
        }
        finished_ = finished;
        if (!error.empty() && error_.empty()) error_ = std::move(error);
    }
    changed_.notify_all();
}

void CInflateWorker::Run(int fd) {
    RegisteredThread registered;
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) {
        Deliver({}, 0, 0, true, "out of memory");
        return;
    }
    const auto input = std::make_unique_for_overwrite<unsigned char[]>(kInputSize);
    bool memberEnded = false, fileEnded = false;
    std::uint64_t taken = 0;  // compressed bytes read from the file
    std::string error;
    // Fetches more compressed bytes once inflate has used those it had.
    const auto refill = [&]() {
        if (stream.avail_in > 0 || fileEnded) return;
        const ssize_t n = ReadSome(fd, input.get(), kInputSize);
        if (n < 0) {
            error = std::strerror(errno);
            return;
        }
        fileEnded = n == 0;
        taken += static_cast<std::uint64_t>(n);
        stream.next_in = input.get();
        stream.avail_in = static_cast<uInt>(n);
        std::lock_guard lock(mutex_);
        filePosition_ += static_cast<std::uint64_t>(n);
    };
    for (std::size_t blockSize = kFirstBlockSize;; blockSize = std::min(2 * blockSize, kBlockSize)) {
        Buffer* block = FreeBuffer(blockSize);
        if (!block) break;
        stream.next_out = reinterpret_cast<Bytef*>(block->bytes.get());
        stream.avail_out = static_cast<uInt>(blockSize);
        bool over = false;
        while (stream.avail_out > 0 && !over) {
            refill();
            if (!error.empty()) break;
            if (memberEnded) {
                // Another member may follow (gzip allows members back to back); anything else after the end
                // is ignored, as gzip itself ignores trailing garbage.
                over = stream.avail_in < 2 || std::memcmp(stream.next_in, kGzipSignature, 2) != 0;
                if (!over) {
                    inflateReset(&stream);
                    memberEnded = false;
                }
                continue;
            }
            if (stream.avail_in == 0) {
                error = "unexpected end of file";
                break;
            }
            const int result = inflate(&stream, Z_NO_FLUSH);
            if (result == Z_STREAM_END) {
                memberEnded = true;
            } else if (result != Z_OK && result != Z_BUF_ERROR) {
                error = stream.msg ? stream.msg : "damaged compressed data";
            }
        }
        const std::size_t filled = blockSize - stream.avail_out;
        const bool finished = over || !error.empty();
        Deliver(std::move(*block), filled, taken - stream.avail_in, finished, error);
        if (finished) break;
    }
    inflateEnd(&stream);
}

std::size_t CInflateWorker::Read(char* buffer, std::size_t size) {
    std::size_t copied = 0;
    std::unique_lock lock(mutex_);
    while (copied < size) {
        changed_.wait(lock, [&] { return !ready_.empty() || finished_ || copied > 0; });
        if (ready_.empty()) break;
        Block& block = ready_.front();
        const std::size_t n = std::min(size - copied, block.size - block.read);
        std::memcpy(buffer + copied, block.buffer.bytes.get() + block.read, n);
        block.read += n;
        copied += n;
        held_ -= n;
        if (block.read == block.size) {
            spare_.push_back(std::move(block.buffer));
            ready_.pop_front();
            changed_.notify_all();
        }
    }
    return copied;
}

std::uint64_t CInflateWorker::FilePosition() const {
    std::lock_guard lock(mutex_);
    return filePosition_;
}

std::uint64_t CInflateWorker::MaxBytesLeft(std::uint64_t fileSize) const {
    std::lock_guard lock(mutex_);
    if (finished_ && ready_.empty()) return 0;
    const std::uint64_t left = fileSize > inputUsed_ ? fileSize - inputUsed_ : 0;
    return held_ + left * kMaxInflateRatio + kInflateWindow;
}

bool CInflateWorker::Failed() const {
    std::lock_guard lock(mutex_);
    return !error_.empty() && ready_.empty();
}

std::string CInflateWorker::Error() const {
    std::lock_guard lock(mutex_);
    return error_;
}

}  // namespace zelvor
