#pragma once
// Pixel storage behind an image. Locking nests: the block stays put until the last unlock.
#include <cstddef>
#include <cstdint>

class HnBaseBuffer {
 public:
  virtual ~HnBaseBuffer() = default;
  HnBaseBuffer() = default;
  HnBaseBuffer(const HnBaseBuffer&) = delete;
  HnBaseBuffer& operator=(const HnBaseBuffer&) = delete;

  // Raises code 2 when the bytes cannot be had. Any earlier block is freed first.
  virtual void Allocate(size_t bytes) = 0;
  virtual void Free() = 0;
  // nullptr when the storage cannot be locked.
  virtual uint8_t* Lock() = 0;
  virtual void Unlock() = 0;
  virtual size_t Size() const = 0;
  // A fresh, empty storage of the same kind, for images made from this one.
  virtual HnBaseBuffer* NewOfSameKind() const = 0;
};

// Heap storage, zero-filled.
class HnBuffer final : public HnBaseBuffer {
 public:
  HnBuffer() = default;
  ~HnBuffer() override;
  void Allocate(size_t bytes) override;
  void Free() override;
  uint8_t* Lock() override { return data_; }
  void Unlock() override {}
  size_t Size() const override { return size_; }
  HnBaseBuffer* NewOfSameKind() const override;

 private:
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
};
