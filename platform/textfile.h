// Sequential text files over POSIX, failing with the run-time error
// numbers (53 file not found, 76 path not found, 70 permission denied ...).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "platform/atomic_output.h"

namespace tw {

// Memory for large buffers: big requests are asked for in huge pages
// where the system offers them, which makes filling them much cheaper.
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

// The bytes of a file read whole, left uninitialised until read so a
// large file is touched once.
class ByteBuffer {
public:
    ByteBuffer() = default;
    explicit ByteBuffer(std::string_view bytes) { Assign(bytes); }
    std::string_view View() const { return {data_.get(), size_}; }
    const char* Data() const { return data_.get(); }
    std::size_t Size() const { return size_; }
    void Assign(std::string_view bytes);

private:
    friend class InputFile;
    LargeArray<char> data_;
    std::size_t size_ = 0;
};

// A file opened for input and read whole. Its bytes are kept as they are.
// Only a regular file opens: a folder, a pipe, a device or a socket fails
// at once with 75, and opening never waits on a pipe with no writer.
class InputFile {
public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();

    void Open(const std::string& path);
    // The identity of the open file.
    FileIdentity Identity() const;
    // Reads everything from the current position to the end.
    std::string ReadAll();
    void ReadAll(ByteBuffer& into);
    void Close();

private:
    int fd_ = -1;
};

// A file opened for output or for appending. Writes are buffered; a
// failing flush throws the mapped error number. Output goes to a temporary
// file that replaces the target when Close succeeds; until then, and after
// Discard, the earlier file of that name is untouched.
class OutputFile {
public:
    enum class Mode { Output, Append };
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    void Open(const std::string& path, Mode mode);
    void Write(std::string_view bytes);
    void Flush();
    // Flushes and closes, putting an output in place of its target; safe
    // to call when not open. On failure the file stays open, so Close can
    // be tried again.
    void Close();
    // Closes without putting an output in place: the target stays as it
    // was. An appended file keeps what was written.
    void Discard();

private:
    int fd_ = -1;
    AtomicOutput output_;
    std::string buffer_;
};

// Walks the lines of a text: CR, LF, CR LF and LF CR each end one line;
// a final line without an ending still counts, an ending at the very end
// adds no empty line.
class LineCursor {
public:
    explicit LineCursor(std::string_view data) : data_(data) {}
    bool AtEnd() const { return pos_ >= data_.size(); }
    // Offset of the line that Next() will return.
    std::size_t Offset() const { return pos_; }
    std::string_view Next();

private:
    std::size_t FindEnd(std::size_t from);
    void LoadBlock(std::size_t base);

    std::string_view data_;
    std::size_t pos_ = 0;
    // Line endings are found 64 bytes at a time: a bit per CR or LF byte
    // of the block at base_.
    std::size_t base_ = 0;
    std::uint64_t mask_ = 0;
    bool loaded_ = false;
};

// Length of the line starting at `p`: up to the first CR or LF or the end.
std::size_t LineLength(const char* p, const char* end);

// True when the folder of `path` ("." for a bare name) exists.
bool ParentFolderExists(const std::string& path);
bool FolderExists(const std::string& path);
bool FileExists(const std::string& path);

// Writes `contents` to `path` through a temporary file in the same folder
// renamed over it, so a crash of the program never leaves the file half
// written. (No fsync: settings are rewritten on every resize.)
// Returns false when the folder is missing or not writable, or the file
// is read-only.
bool ReplaceFileAtomically(const std::string& path, std::string_view contents);

}  // namespace tw
