#pragma once
/// Text formatting into a fixed buffer, without allocating or locking: safe inside a crashed process.
#include <cstddef>
#include <cstdint>

namespace zelvor::grelt {

/// Appends to capacity bytes at data (kept NUL-terminated); what does not fit is cut off and remembered.
class TextBuffer {
public:
    TextBuffer(char* data, std::size_t capacity);

    TextBuffer& Text(const char* text);
    TextBuffer& Text(const char* text, std::size_t length);
    /// Upper-case hexadecimal, zero-padded to at least width digits.
    TextBuffer& Hex(std::uint64_t value, int width);
    /// Decimal, zero-padded to at least width digits.
    TextBuffer& Decimal(std::int64_t value, int width = 1);

    const char* Data() const { return data_; }
    std::size_t Length() const { return length_; }
    bool Truncated() const { return truncated_; }

private:
    char* data_;
    std::size_t capacity_;
    std::size_t length_ = 0;
    bool truncated_ = false;
};

/// Writes the whole of data to fd, retrying after interruptions and short writes.
bool WriteAll(int fd, const char* data, std::size_t length);

}  // namespace zelvor::grelt
