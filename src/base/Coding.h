// Little-endian fixed-width reads and writes over byte buffers, with bounds checks.
//
// Every reader of a file layout (record files, Access pages) goes through these helpers:
// no pointer casts over file buffers, and a read past the end is an error value the caller
// turns into a message, never undefined behaviour.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <type_traits>

namespace coding {

using Bytes = std::span<const std::uint8_t>;
using MutableBytes = std::span<std::uint8_t>;

// Thrown when a read or write would leave its buffer. Callers at an I/O edge catch it and
// report which file and record was short.
class OutOfBounds : public std::out_of_range {
public:
    OutOfBounds(std::size_t offset, std::size_t width, std::size_t size)
        : std::out_of_range("read of " + std::to_string(width) + " bytes at offset " +
                            std::to_string(offset) + " passes the end of a " +
                            std::to_string(size) + "-byte buffer"),
          offset_(offset) {}
    std::size_t offset() const { return offset_; }

private:
    std::size_t offset_;
};

inline bool fits(std::size_t size, std::size_t offset, std::size_t width) {
    return offset <= size && width <= size - offset;
}

inline void require(std::size_t size, std::size_t offset, std::size_t width) {
    if (!fits(size, offset, width))
        throw OutOfBounds(offset, width, size);
}

template <typename T>
requires std::is_integral_v<T> T getLE(Bytes buf, std::size_t offset) {
    require(buf.size(), offset, sizeof(T));
    std::make_unsigned_t<T> v = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        v |= static_cast<std::make_unsigned_t<T>>(buf[offset + i]) << (8 * i);
    return static_cast<T>(v);
}

template <typename T>
requires std::is_integral_v<T>
void putLE(MutableBytes buf, std::size_t offset, T value) {
    require(buf.size(), offset, sizeof(T));
    auto v = static_cast<std::make_unsigned_t<T>>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i)
        buf[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

template <typename T>
requires std::is_integral_v<T> T getBE(Bytes buf, std::size_t offset) {
    require(buf.size(), offset, sizeof(T));
    std::make_unsigned_t<T> v = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i)
        v = static_cast<std::make_unsigned_t<T>>((v << 8) | buf[offset + i]);
    return static_cast<T>(v);
}

template <typename T>
requires std::is_integral_v<T>
void putBE(MutableBytes buf, std::size_t offset, T value) {
    require(buf.size(), offset, sizeof(T));
    auto v = static_cast<std::make_unsigned_t<T>>(value);
    for (std::size_t i = 0; i < sizeof(T); ++i)
        buf[offset + i] = static_cast<std::uint8_t>(v >> (8 * (sizeof(T) - 1 - i)));
}

inline std::uint8_t getU8(Bytes buf, std::size_t offset) {
    return getLE<std::uint8_t>(buf, offset);
}
inline std::uint16_t getU16(Bytes buf, std::size_t offset) {
    return getLE<std::uint16_t>(buf, offset);
}
inline std::int16_t getI16(Bytes buf, std::size_t offset) {
    return getLE<std::int16_t>(buf, offset);
}
inline std::uint32_t getU32(Bytes buf, std::size_t offset) {
    return getLE<std::uint32_t>(buf, offset);
}
inline std::int32_t getI32(Bytes buf, std::size_t offset) {
    return getLE<std::int32_t>(buf, offset);
}
inline std::int64_t getI64(Bytes buf, std::size_t offset) {
    return getLE<std::int64_t>(buf, offset);
}

// Unsigned 24-bit little-endian, as Access stores page numbers inside row pointers.
inline std::uint32_t getU24(Bytes buf, std::size_t offset) {
    require(buf.size(), offset, 3);
    return buf[offset] | (buf[offset + 1] << 8) |
           (static_cast<std::uint32_t>(buf[offset + 2]) << 16);
}

inline void putU24(MutableBytes buf, std::size_t offset, std::uint32_t value) {
    require(buf.size(), offset, 3);
    buf[offset] = static_cast<std::uint8_t>(value);
    buf[offset + 1] = static_cast<std::uint8_t>(value >> 8);
    buf[offset + 2] = static_cast<std::uint8_t>(value >> 16);
}

inline float getF32(Bytes buf, std::size_t offset) {
    return std::bit_cast<float>(getLE<std::uint32_t>(buf, offset));
}
inline double getF64(Bytes buf, std::size_t offset) {
    return std::bit_cast<double>(getLE<std::uint64_t>(buf, offset));
}
inline void putF32(MutableBytes buf, std::size_t offset, float v) {
    putLE<std::uint32_t>(buf, offset, std::bit_cast<std::uint32_t>(v));
}
inline void putF64(MutableBytes buf, std::size_t offset, double v) {
    putLE<std::uint64_t>(buf, offset, std::bit_cast<std::uint64_t>(v));
}

// A sub-range of a buffer, checked.
inline Bytes slice(Bytes buf, std::size_t offset, std::size_t width) {
    require(buf.size(), offset, width);
    return buf.subspan(offset, width);
}
inline MutableBytes slice(MutableBytes buf, std::size_t offset, std::size_t width) {
    require(buf.size(), offset, width);
    return buf.subspan(offset, width);
}

// Copies width bytes at offset into a string (single-byte text), checked.
inline std::string getBytesAsString(Bytes buf, std::size_t offset, std::size_t width) {
    auto s = slice(buf, offset, width);
    return std::string(reinterpret_cast<const char*>(s.data()), s.size());
}

// Writes text into a fixed-width field: cut to width, padded on the right with pad.
inline void putPadded(MutableBytes buf, std::size_t offset, std::size_t width,
                      std::string_view text, char pad = ' ') {
    auto s = slice(buf, offset, width);
    std::size_t n = text.size() < width ? text.size() : width;
    std::memcpy(s.data(), text.data(), n);
    std::memset(s.data() + n, static_cast<unsigned char>(pad), width - n);
}

} // namespace coding
