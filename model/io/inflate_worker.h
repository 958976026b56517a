#pragma once
/// CInflateWorker: inflates a gzip file on a thread of its own, a few blocks ahead of the reader, so that
/// inflating and parsing share the work of a compressed file between two processors.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zelvor {

class CInflateWorker {
public:
    /// Starts inflating the gzip members of the open file fd from its current offset; fd stays the
    /// caller's and must stay open until the worker is gone.
    explicit CInflateWorker(int fd);
    /// Stops the thread and waits for it.
    ~CInflateWorker();
    CInflateWorker(const CInflateWorker&) = delete;
    CInflateWorker& operator=(const CInflateWorker&) = delete;

    /// Up to size inflated bytes; waits for them. 0 once everything has been read, or inflating failed.
    std::size_t Read(char* buffer, std::size_t size);
    /// Compressed bytes the worker has taken from the file so far.
    std::uint64_t FilePosition() const;
    /// Most inflated bytes Read can still deliver for a file of fileSize compressed bytes: those held, plus
    /// the compressed bytes not yet inflated into a delivered block times deflate's largest expansion (its
    /// window added, which inflate may hold back).
    std::uint64_t MaxBytesLeft(std::uint64_t fileSize) const;
    /// Inflating failed (damaged or truncated data, an I/O error); why, in zlib's words.
    bool Failed() const;
    std::string Error() const;

    /// Deflate cannot expand a byte into more than this many (its largest ratio is about 1032:1).
    static constexpr std::uint64_t kMaxInflateRatio = 1032;
    /// What inflate may hold back beyond that expansion: its window.
    static constexpr std::uint64_t kInflateWindow = 1 << 15;

private:
    /// Memory for inflated bytes; never zero-filled, inflate writes it.
    struct Buffer {
        std::unique_ptr<char[]> bytes;
        std::size_t capacity = 0;
    };
    struct Block {
        Buffer buffer;
        std::size_t size = 0;  // bytes filled
        std::size_t read = 0;  // bytes handed out
    };
    void Run(int fd);
    /// A buffer of at least capacity bytes to fill, or null when the worker is to stop.
    Buffer* FreeBuffer(std::size_t capacity);
    /// Hands a filled block to the reader; inputUsed counts the compressed bytes its content came from.
    void Deliver(Buffer&& buffer, std::size_t size, std::uint64_t inputUsed, bool finished, std::string error);

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Block> ready_;
    std::vector<Buffer> spare_;
    Buffer filling_;
    std::uint64_t held_ = 0;
    std::uint64_t filePosition_ = 0;
    std::uint64_t inputUsed_ = 0;  ///< compressed bytes inflated into delivered blocks
    bool finished_ = false;
    bool stop_ = false;
    std::string error_;
    std::thread thread_;
};

}  // namespace zelvor
