// A stack for walking store trees without recursion, also usable as a plain
// growable list: a few frames inline, more from the C heap as it grows.
// Growth never throws; Push answers false when no memory was had.  Frames
// must be trivially copyable.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <type_traits>

template <typename Frame, size_t InlineFrames = 32>
class CNodeStack {
  static_assert(std::is_trivially_copyable<Frame>::value,
                "frames are moved with memcpy");

 public:
  CNodeStack() : frames_(inline_), size_(0), capacity_(InlineFrames) {}
  ~CNodeStack() {
    if (frames_ != inline_) std::free(frames_);
  }
  CNodeStack(const CNodeStack&) = delete;
  CNodeStack& operator=(const CNodeStack&) = delete;

  bool Push(const Frame& frame) {
    if (size_ == capacity_ && !Grow()) return false;
    frames_[size_++] = frame;
    return true;
  }
  void Pop() { --size_; }
  Frame& Top() { return frames_[size_ - 1]; }
  bool IsEmpty() const { return size_ == 0; }
  // Frames by position, the first pushed at 0, for a stack used as a list.
  size_t Size() const { return size_; }
  Frame& At(size_t index) { return frames_[index]; }
  void Clear() { size_ = 0; }

 private:
  bool Grow() {
    const size_t capacity = capacity_ * 2;
    void* memory = std::malloc(capacity * sizeof(Frame));
    if (!memory) return false;
    std::memcpy(memory, frames_, size_ * sizeof(Frame));
    if (frames_ != inline_) std::free(frames_);
    frames_ = static_cast<Frame*>(memory);
    capacity_ = capacity;
    return true;
  }

  Frame inline_[InlineFrames];
  Frame* frames_;
  size_t size_;
  size_t capacity_;
};
