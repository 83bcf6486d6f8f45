// ByteCursor: a read position over a block of memory that cannot pass its
// end. Reads past the end fail (and read as 0) instead of touching memory
// that is not there.
#pragma once

#include <cstddef>
#include <cstdint>

class ByteCursor {
 public:
  ByteCursor(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::size_t Size() const { return size_; }
  std::size_t Position() const { return pos_; }
  std::size_t Remaining() const { return size_ - pos_; }
  bool Ok() const { return ok_; }

  // Moves to an absolute offset; an offset past the end leaves the cursor at
  // the end and marks it failed.
  void Seek(std::size_t offset) {
    if (offset > size_) {
      pos_ = size_;
      ok_ = false;
    } else {
      pos_ = offset;
    }
  }
  void Skip(std::size_t count) { Seek(count > Remaining() ? size_ + 1 : pos_ + count); }

  std::uint8_t U8() {
    if (Remaining() < 1) return Fail();
    return data_[pos_++];
  }
  std::uint16_t U16() {
    if (Remaining() < 2) return Fail();
    std::uint16_t v = static_cast<std::uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
    pos_ += 2;
    return v;
  }
  std::uint32_t U32() {
    if (Remaining() < 4) return Fail();
    std::uint32_t v = static_cast<std::uint32_t>(data_[pos_]) | static_cast<std::uint32_t>(data_[pos_ + 1]) << 8 |
                      static_cast<std::uint32_t>(data_[pos_ + 2]) << 16 |
                      static_cast<std::uint32_t>(data_[pos_ + 3]) << 24;
    pos_ += 4;
    return v;
  }
  std::int32_t I32() { return static_cast<std::int32_t>(U32()); }

  // The bytes from the current position on (at most Remaining()).
  const std::uint8_t* Here() const { return data_ + pos_; }

 private:
  std::uint8_t Fail() {
    ok_ = false;
    pos_ = size_;
    return 0;
  }
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};
