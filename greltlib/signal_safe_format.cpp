#include "greltlib/signal_safe_format.h"

#include <cerrno>
#include <unistd.h>

namespace zelvor::grelt {

TextBuffer::TextBuffer(char* data, std::size_t capacity) : data_(data), capacity_(capacity) {
    if (capacity_ > 0) data_[0] = '\0';
}

TextBuffer& TextBuffer::Text(const char* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        if (length_ + 1 >= capacity_) {  // one byte stays for the terminating NUL
            truncated_ = true;
            break;
        }
        data_[length_++] = text[i];
    }
    if (capacity_ > 0) data_[length_] = '\0';
    return *this;
}

TextBuffer& TextBuffer::Text(const char* text) {
    std::size_t length = 0;
    if (text)
        while (text[length]) ++length;
    return Text(text, length);
}

TextBuffer& TextBuffer::Hex(std::uint64_t value, int width) {
    char digits[16];
    int n = 0;
    do {
        digits[n++] = "0123456789ABCDEF"[value & 0xF];
        value >>= 4;
    } while (value != 0);
    for (int i = n; i < width; ++i) Text("0", 1);
    while (n > 0) Text(&digits[--n], 1);
    return *this;
}

TextBuffer& TextBuffer::Decimal(std::int64_t value, int width) {
    if (value < 0) Text("-", 1);
    // Through the unsigned magnitude, so that the most negative value has one too.
    std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    char digits[20];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    for (int i = n; i < width; ++i) Text("0", 1);
    while (n > 0) Text(&digits[--n], 1);
    return *this;
}

bool WriteAll(int fd, const char* data, std::size_t length) {
    while (length > 0) {
        const ssize_t n = write(fd, data, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        length -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace zelvor::grelt
