// Files that appear whole or not at all. An output is written into a
// temporary file in its target's folder and takes the target's name only
// once its data are on the disk (fdatasync), and the folder is synced
// after the rename, so a failure, an abort, a kill or a power cut leaves
// at the name either the earlier file or the new one, whole; once Commit
// has returned, the new one stays. The temporary file has no name while
// it is written where the file system allows it, so even a killed process
// leaves nothing behind; a named one is removed on every failure.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tw {

// A file's identity: two names with the same identity are one file,
// whatever their spelling (hard links, symbolic links, "./a" and "a").
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The identity of the file at `path`; with `follow_links` false, that of a
// symbolic link itself. Nothing when there is no such file.
std::optional<FileIdentity> IdentityOf(const std::string& path, bool follow_links = true);

// The system calls that open and commit an output, in one place so that
// tests can make any of them fail.
struct OutputCalls {
    int (*open_unnamed)(int dir_fd);  // an unnamed file in the folder (O_TMPFILE)
    int (*data_sync)(int fd);         // the file's data to the disk
    int (*link)(int fd, int dir_fd, const char* name);
    int (*rename)(int dir_fd, const char* from, const char* to);
    int (*folder_sync)(int dir_fd);  // the folder's entries to the disk
};

// The calls in use; the system's own unless a test replaced them.
OutputCalls& CurrentOutputCalls();

class AtomicOutput {
public:
    // Whether code outside ours (a library writing by file name) must be
    // able to open the temporary file.
    enum class Access { OwnFd, ByName };

    AtomicOutput() = default;
    AtomicOutput(const AtomicOutput&) = delete;
    AtomicOutput& operator=(const AtomicOutput&) = delete;
    ~AtomicOutput() { Discard(); }

    // Creates the temporary file for `target`. Throws VbError with the
    // file error numbers: 76 for a missing folder, 70 for a folder or a
    // read-only file that may not be written, 75 when the target is a
    // folder or a special file (a pipe, a device) that must not be replaced.
    void Open(const std::string& target, Access access = Access::OwnFd);
    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    // An ASCII path by which another library opens the temporary file for
    // writing, whatever bytes the target's name holds.
    const std::string& PathForOthers() const { return shared_path_; }
    // Syncs the written bytes to the disk, then puts the file in the
    // target's place in one step and syncs the folder; a symbolic link at
    // the target is replaced, never written through. Throws VbError: before
    // the rename the temporary file is kept, so the commit can be tried
    // again (Discard removes it); a failed folder sync after it is
    // reported with the file already in place.
    void Commit();
    // The identity of the committed file.
    FileIdentity Committed() const { return committed_; }
    // Drops the temporary file; the target stays as it was.
    void Discard();

private:
    std::string NewTempName();

    int dir_fd_ = -1;
    int fd_ = -1;
    std::string target_;     // the name in the folder
    std::string temp_name_;  // a named temporary file, when one is used
    std::string shared_path_;
    FileIdentity committed_;
};

}  // namespace tw
