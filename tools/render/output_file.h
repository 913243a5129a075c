// Where a render's bytes go, without putting the user's files at risk. A file
// is written under a temporary name beside its destination and moved into
// place only when complete; an existing file keeps its mode, its extended
// attributes and, where the process may, its owner; a symbolic link stays a
// link and its target is written. A file with hard links, or in a folder
// that refuses the rename, gets the finished render copied into it. Standard
// output, pipes and devices are written as the render goes.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

class OutputFile {
public:
    /// Resolves `path` ("-" is standard output) and, for a file, claims the
    /// temporary file. Throws ToolError (kExitFailure) for a directory, a
    /// write-protected file, a missing folder, a terminal, and for a pipe or
    /// device unless `streamAllowed`.
    explicit OutputFile(const std::string& path, bool streamAllowed = true);
    /// Removes the temporary file unless committed.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    /// The name the user gave.
    const std::string& path() const { return shownPath; }
    /// "output 'NAME'" or "standard output", for messages.
    std::string shownName() const;
    /// Standard output, a pipe or a device: written as it comes, through
    /// streamDescriptor(), or in one piece by commit(bytes).
    bool isStream() const { return stream; }
    /// Open for writing: the temporary file, or standard output when that
    /// is a file of its own (written in place, as the shell opened it).
    int descriptor() const { return direct ? STDOUT_FILENO : temporaryDescriptor; }
    /// A stream's descriptor, opened on first use (a named pipe waits here
    /// for its reader, unless a stop comes).
    int streamDescriptor();
    /// A stream written through streamDescriptor() is complete.
    void commitStream();
    const std::string& temporaryPath() const { return temporary; }

    /// Files: flushes, gives the file the old one's mode and owner, and
    /// renames it over the destination.
    void commit();
    /// The whole content at once: written out to a stream; put in the
    /// temporary file in place of what it held, then as commit().
    void commit(const std::vector<unsigned char>& bytes);

private:
    void claimTemporary(const std::string& folder);
    void copyIntoTarget();
    void copyExtendedAttributes() const;
    void writeAll(int descriptor, const std::vector<unsigned char>& bytes) const;
    void discard();
    [[noreturn]] void fail(const std::string& reason) const;

    std::string shownPath;
    std::string target;  // symbolic links followed
    bool stream = false;
    bool toStandardOutput = false;
    bool direct = false;       // standard output is a regular file
    int openedStream = -1;     // a named pipe or device, once opened
    bool replacing = false;
    bool throughInode = false;  // the render is copied into the existing file, not renamed over it
    struct stat existing {};
    std::string temporary;
    int temporaryDescriptor = -1;
    bool committed = false;
};

/// The temporary name for a file called `fileName`, at most `nameMax` bytes
/// long: hidden, with as much of the name as fits and a random tag.
std::string temporaryFileName(const std::string& fileName, long nameMax, unsigned tag);

/// What makes a file the same file under any name or link.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileIdentity& other) const { return device == other.device && inode == other.inode; }
    bool operator<(const FileIdentity& other) const {
        return device != other.device ? device < other.device : inode < other.inode;
    }
};

/// The identity of the file `path` names, links followed; "-" stands for
/// the open `standardStream` (standard input or output). Nothing when there
/// is no such file.
std::optional<FileIdentity> identityOf(const std::string& path, int standardStream);
