/// @file
/// Bounds-checked reading of picture data held in memory, and the size checks every decoder makes
/// before it allocates. Every decoder reads its file only through a TarnByteReader: a read past the
/// end yields zeros and sets a sticky flag, which the decoder checks after the header and after
/// each row, so a truncated or hostile file can never make it read outside the data. Every pixel
/// buffer size goes through TarnImageBytes, which refuses sizes that overflow or pass the limits
/// below, so no header can make a decoder allocate more than a sane amount.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// The largest width or height any decoder accepts, and the largest pixel buffer it allocates.
// 32768 covers every picture a 2-D program of this kind shows; 256 MiB is an 8192 x 8192 picture
// at 32 bits. A header that claims more is refused before anything is allocated.
constexpr int IMAGE_MAX_DIMENSION = 32768;       ///< the largest width or height decoded
constexpr uint32_t IMAGE_MAX_BYTES = 256u << 20; ///< the largest pixel buffer allocated

/// A cursor over picture data in memory that never reads outside it: reads past the end give
/// zeros and set a flag that stays set (Overrun).
class TarnByteReader {
public:
    /// Reads the `count` bytes at `bytes` (not copied: they must outlive the reader); a null
    /// pointer or a count of 0 is empty data.
    TarnByteReader(const unsigned char* bytes, size_t count)
        : data(count > 0 ? bytes : nullptr), size(bytes ? count : 0) {}
    virtual ~TarnByteReader() = default;

    /// The offset of the next byte to read.
    size_t Position() const { return position; }
    /// The size of the data.
    size_t Size() const { return size; }
    /// Bytes left after the position.
    size_t Remaining() const { return size - position; }
    /// True once any read or skip went past the end of the data; it stays set.
    bool Overrun() const { return overrun; }

    /// Moves to an absolute offset; an offset past the end leaves the reader at the end, overrun.
    void Seek(uint64_t offset) {
        if (offset > size) {
            position = size;
            overrun = true;
        } else {
            position = static_cast<size_t>(offset);
        }
    }
    /// Moves on by `count` bytes, as Seek does.
    void Skip(uint64_t count) { Seek(static_cast<uint64_t>(position) + count); }

    /// The next byte; 0 (and overrun) at the end.
    uint8_t U8() {
        if (position < size) return data[position++];
        overrun = true;
        return 0;
    }
    /// The next 16-bit little-endian value; missing bytes read as 0 (and set overrun).
    uint16_t U16LE() {
        unsigned char b[2];
        Read(b, 2);
        return static_cast<uint16_t>(b[0] | (b[1] << 8));
    }
    /// The next 32-bit little-endian value; missing bytes read as 0 (and set overrun).
    uint32_t U32LE() {
        unsigned char b[4];
        Read(b, 4);
        return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
               (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
    }
    /// The next 16-bit big-endian value; missing bytes read as 0 (and set overrun).
    uint16_t U16BE() {
        unsigned char b[2];
        Read(b, 2);
        return static_cast<uint16_t>((b[0] << 8) | b[1]);
    }
    /// The next 32-bit big-endian value; missing bytes read as 0 (and set overrun).
    uint32_t U32BE() {
        unsigned char b[4];
        Read(b, 4);
        return (static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16) |
               (static_cast<uint32_t>(b[2]) << 8) | static_cast<uint32_t>(b[3]);
    }

    /// Copies `count` bytes; the part past the end of the data is filled with zeros. Returns false
    /// when the data ran out.
    bool Read(void* destination, size_t count) {
        size_t available = Remaining() < count ? Remaining() : count;
        if (available > 0) std::memcpy(destination, data + position, available);
        position += available;
        if (available < count) {
            std::memset(static_cast<unsigned char*>(destination) + available, 0, count - available);
            overrun = true;
            return false;
        }
        return true;
    }

    /// The next `count` bytes in place, for whole-row conversions without a copy; null (and
    /// overrun, the reader at the end) when fewer are left.
    const unsigned char* Take(size_t count) {
        if (count > Remaining()) {
            position = size;
            overrun = true;
            return nullptr;
        }
        const unsigned char* at = data + position;
        position += count;
        return at;
    }

private:
    const unsigned char* data;
    size_t size;
    size_t position = 0;
    bool overrun = false;
};

/// Row size of a device-independent bitmap: width x bits rounded up to a multiple of 4 bytes.
/// Returns false when width or bits are out of range (the only place that row size is computed).
inline bool TarnDibStride(int width, int bitsPerPixel, uint32_t* stride) {
    if (width <= 0 || width > IMAGE_MAX_DIMENSION || bitsPerPixel <= 0 || bitsPerPixel > 32)
        return false;
    uint64_t bits = static_cast<uint64_t>(width) * static_cast<uint64_t>(bitsPerPixel);
    *stride = static_cast<uint32_t>(((bits + 31) / 32) * 4);
    return true;
}

/// Bytes of a width x height picture of `bitsPerPixel` in rows padded to 4 bytes, checked against
/// overflow and the limits above. Returns false (and leaves the outputs alone) when the picture is
/// empty or too large; `stride` may be null.
inline bool TarnImageBytes(int width, int height, int bitsPerPixel, uint32_t* stride,
                           uint32_t* total) {
    uint32_t rowBytes = 0;
    if (height <= 0 || height > IMAGE_MAX_DIMENSION) return false;
    if (!TarnDibStride(width, bitsPerPixel, &rowBytes)) return false;
    uint64_t bytes = static_cast<uint64_t>(rowBytes) * static_cast<uint64_t>(height);
    if (bytes > IMAGE_MAX_BYTES) return false;
    if (stride) *stride = rowBytes;
    *total = static_cast<uint32_t>(bytes);
    return true;
}
