// The converter's ends of a pipeline: a document read from standard input
// and a converted file sent to standard output.
#pragma once

#include <cstdint>
#include <string>

#include "document/status.h"

namespace tw {

// The most read from standard input: 1 GiB, or TARNWICK_STDIN_LIMIT bytes
// when that is set (so tests need not send a gigabyte).
std::uint64_t StandardInputLimit();

// Standard input read to its end into an anonymous file, which `path`
// names for as long as this lives. Stops with Refused when more than
// `limit` bytes arrive, so an endless stream does not fill the memory.
class StandardInputCopy {
public:
    StandardInputCopy() = default;
    StandardInputCopy(const StandardInputCopy&) = delete;
    StandardInputCopy& operator=(const StandardInputCopy&) = delete;
    ~StandardInputCopy();

    Status Read(std::uint64_t limit);
    const std::string& path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};

// A private folder for an output on its way to standard output, removed
// with what is in it.
class ScratchFolder {
public:
    ScratchFolder();  // throws VbError when none can be made
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder();
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Copies the file at `path` to standard output.
Status CopyToStandardOutput(const std::string& path);

}  // namespace tw
