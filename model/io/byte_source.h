#pragma once
/// CByteSource: the bytes of a coordinate file, read as they are on disk or, for a gzip-compressed file,
/// inflated by zlib as they are read (on a worker thread, a few blocks ahead), so that a compressed file is
/// never held whole in memory.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "model/io/inflate_worker.h"

namespace zelvor {

class CByteSource {
public:
    CByteSource();
    ~CByteSource();
    CByteSource(const CByteSource&) = delete;
    CByteSource& operator=(const CByteSource&) = delete;

    /// Opens a regular file for reading; one that starts with the gzip signature is inflated. False when
    /// it cannot be opened (or is a folder).
    bool Open(const char* path);
    void Close();
    /// Starts again from the first byte.
    bool Rewind();

    /// Up to size bytes into buffer; 0 once the input is over, or has failed (Failed()).
    std::size_t Read(char* buffer, std::size_t size);

    bool IsOpen() const { return fd_ >= 0; }
    bool Compressed() const { return compressed_; }
    /// Size of the file on disk (compressed size for a compressed file).
    std::uint64_t FileSize() const { return fileSize_; }
    /// Bytes of the file consumed so far (compressed bytes for a compressed file): the read's progress.
    std::uint64_t FilePosition() const;
    /// Most bytes that Read can still deliver: for a compressed file, the compressed bytes left times the
    /// largest expansion deflate allows, so that a size claimed by the contents stays bounded by the file.
    std::uint64_t MaxBytesLeft() const;
    /// The input could not be read to its end: an I/O error, a damaged or a truncated compressed stream.
    bool Failed() const { return failed_; }
    /// What went wrong, in zlib's words for a compressed file.
    const std::string& Error() const { return error_; }

private:
    void Fail(std::string error);

    int fd_ = -1;
    bool compressed_ = false;
    bool failed_ = false;
    std::uint64_t fileSize_ = 0;
    std::uint64_t plainPosition_ = 0;
    std::string error_;
    std::unique_ptr<CInflateWorker> inflater_;  ///< for a compressed file, from the first Read on
};

}  // namespace zelvor
