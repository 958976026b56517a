#pragma once
/// SETTINGS: the base of every settings record that persists itself as one binary value.
#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>
#include <type_traits>
#include <vector>

namespace zelvor {

// Fields are copied in host byte order; the stored form is little-endian.
static_assert(std::endian::native == std::endian::little, "settings images are stored little-endian");

/// A record's stored form: exactly `size` bytes, little-endian, fields at fixed offsets.
class ByteImage {
public:
    explicit ByteImage(std::size_t size) : bytes_(size, 0) {}
    explicit ByteImage(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    /// Writes a field (a number, a record of numbers, or an array of them) at its offset.
    template <class T>
    void Put(std::size_t offset, const T& value) {
        static_assert(std::is_trivially_copyable_v<T>);
        Check(offset, sizeof(T));
        std::memcpy(bytes_.data() + offset, &value, sizeof(T));
    }
    /// Reads a field of type T from its offset.
    template <class T>
    T Get(std::size_t offset) const {
        static_assert(std::is_trivially_copyable_v<T>);
        Check(offset, sizeof(T));
        T value;
        std::memcpy(&value, bytes_.data() + offset, sizeof(T));
        return value;
    }
    /// Reads a field back in place (also a whole array of bytes).
    template <class T>
    void Load(std::size_t offset, T& value) const {
        static_assert(std::is_trivially_copyable_v<T>);
        Check(offset, sizeof(T));
        std::memcpy(&value, bytes_.data() + offset, sizeof(T));
    }

    std::size_t Size() const { return bytes_.size(); }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

private:
    void Check(std::size_t offset, std::size_t length) const {
        if (offset > bytes_.size() || length > bytes_.size() - offset)
            throw std::out_of_range("field outside the settings image");
    }

    std::vector<std::uint8_t> bytes_;
};

/// Base of the settings records. The stored image starts with the 32-bit layout of this base:
/// a 4-byte slot, the 124-byte name, size, loaded and load-failed (140 bytes in all).
class SETTINGS {
public:
    static constexpr std::size_t HEADER_SIZE = 140;

    virtual ~SETTINGS() = default;
    /// Stores the whole record under section `name`, entry "Settings". Returns 1 when written.
    virtual int SaveSettings();
    /// Loads once: fills the name, marks the record loaded, takes the stored value when its size fits.
    /// Returns 1 when the stored value was taken, 0 when the defaults stay (or already loaded).
    virtual int LoadSettings();

    /// The record's stored form, `size` bytes.
    ByteImage ToImage() const;
    /// Takes a stored form; false (and nothing changed) when its length differs from `size`.
    bool FromImage(const std::vector<std::uint8_t>& bytes);

    char name[124] = {};
    std::uint32_t size = HEADER_SIZE;
    std::int32_t loaded = 0;
    std::int32_t loadFailed = 0;

protected:
    SETTINGS() = default;
    SETTINGS(const SETTINGS&) = default;
    SETTINGS& operator=(const SETTINGS&) = default;

    /// The section name: "class " followed by the class name, as the run-time type name gives it.
    virtual const char* TypeName() const = 0;
    /// Writes the derived fields at their offsets (from HEADER_SIZE on).
    virtual void StoreFields(ByteImage& image) const = 0;
    /// Reads the derived fields back from their offsets.
    virtual void RestoreFields(const ByteImage& image) = 0;
};

}  // namespace zelvor
