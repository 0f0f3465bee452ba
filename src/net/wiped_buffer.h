// A byte buffer that is overwritten with zeros before its memory goes back to the heap, for
// buffers that held downloaded bytes or encoded certificate data.
#pragma once

#include <cstddef>
#include <vector>

namespace velmora {

class WipedBuffer {
 public:
  explicit WipedBuffer(std::size_t size) : bytes_(size, 0) {}
  WipedBuffer(const WipedBuffer&) = delete;
  WipedBuffer& operator=(const WipedBuffer&) = delete;
  ~WipedBuffer() { Wipe(); }

  unsigned char* Data() { return bytes_.data(); }
  std::size_t Size() const { return bytes_.size(); }

  // Keeps the first size bytes (size <= Size()); the bytes cut off are wiped first. Shrinking
  // never reallocates, so no copy of the data is left behind.
  void Truncate(std::size_t size) {
    if (size >= bytes_.size()) return;
    WipeFrom(size);
    bytes_.resize(size);
  }

 private:
  void Wipe() { WipeFrom(0); }
  // Through a volatile pointer, so the stores are not dropped as dead before the release.
  void WipeFrom(std::size_t first) {
    volatile unsigned char* p = bytes_.data();
    for (std::size_t i = first; i < bytes_.size(); ++i) p[i] = 0;
  }

  std::vector<unsigned char> bytes_;
};

}  // namespace velmora
