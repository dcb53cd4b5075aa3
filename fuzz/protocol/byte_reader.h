// Reads a fuzzer input from the front, one field at a time, so that a seed can be written by
// hand as a plain sequence of bytes. Past the end every field reads as zero.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace protocol_fuzz {

class ByteReader {
  public:
    ByteReader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool atEnd() const { return position_ >= size_; }

    uint8_t u8() { return position_ < size_ ? data_[position_++] : 0; }
    uint16_t u16() { return static_cast<uint16_t>(u8() | (u8() << 8)); }
    uint32_t u32() { return static_cast<uint32_t>(u16()) | (static_cast<uint32_t>(u16()) << 16); }
    int32_t i32() { return std::bit_cast<int32_t>(u32()); }
    float f32() { return std::bit_cast<float>(u32()); }

  private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

}  // namespace protocol_fuzz
