// Memory for large buffers, and the bytes of a file read whole.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

namespace tw {

// Big requests are asked for in huge pages where the system offers them,
// which makes filling them much cheaper.
struct FreeDeleter {
    void operator()(void* p) const;
};
template <class T>
using LargeArray = std::unique_ptr<T[], FreeDeleter>;
void* AllocateLarge(std::size_t bytes);  // throws std::bad_alloc
template <class T>
LargeArray<T> MakeLargeArray(std::size_t count) {
    return LargeArray<T>(static_cast<T*>(AllocateLarge(count * sizeof(T))));
}

// Bytes left uninitialised until filled, so a large file is touched once.
class ByteBuffer {
public:
    ByteBuffer() = default;
    explicit ByteBuffer(std::string_view bytes) { Assign(bytes); }
    std::string_view View() const { return {data_.get(), size_}; }
    const char* Data() const { return data_.get(); }
    std::size_t Size() const { return size_; }
    void Assign(std::string_view bytes);
    // Takes `data`, of which the first `size` bytes are in use.
    void Adopt(LargeArray<char> data, std::size_t size) {
        data_ = std::move(data);
        size_ = size;
    }

private:
    LargeArray<char> data_;
    std::size_t size_ = 0;
};

}  // namespace tw
