// Sequential text files over POSIX, failing with the run-time error
// numbers (53 file not found, 76 path not found, 70 permission denied ...).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/atomic_output.h"
#include "platform/memory.h"

namespace tw {

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
    // Bytes written, and how many of them the disk was told to write.
    std::size_t written_ = 0, started_ = 0;
};

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
