#include "tools/render/output_file.h"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include "tools/render/tool_error.h"

namespace fs = std::filesystem;

namespace {

// The kernel gives up on link chains at 40 as well.
constexpr int kMostLinks = 40;
constexpr long kUsualNameMax = 255;

std::string folderOf(const std::string& path) {
    std::string folder = fs::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

// Whether the sticky bit keeps this user from renaming over `file` in
// `folder`: it is another's file in another's folder (and no root).
bool renameRefused(const std::string& folder, const struct stat& file) {
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0 || (info.st_mode & S_ISVTX) == 0) return false;
    const uid_t self = geteuid();
    return self != 0 && file.st_uid != self && info.st_uid != self;
}

std::string temporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

}  // namespace

std::string temporaryFileName(const std::string& fileName, long nameMax, unsigned tag) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x.part", tag);
    const size_t fixed = 1 + std::strlen(suffix);  // the leading dot and the suffix
    size_t room = nameMax > static_cast<long>(fixed) ? static_cast<size_t>(nameMax) - fixed : 0;
    size_t keep = std::min(room, fileName.size());
    // Never cut a UTF-8 character in two: continuation bytes are 10xxxxxx.
    while (keep > 0 && keep < fileName.size() && (static_cast<unsigned char>(fileName[keep]) & 0xC0) == 0x80) --keep;
    return "." + fileName.substr(0, keep) + suffix;
}

std::optional<FileIdentity> identityOf(const std::string& path, int standardStream) {
    struct stat info {};
    if ((path == "-" ? fstat(standardStream, &info) : stat(path.c_str(), &info)) != 0) return std::nullopt;
    return FileIdentity{info.st_dev, info.st_ino};
}

OutputFile::OutputFile(const std::string& path, bool streamAllowed) : shownPath(path) {
    if (path == "-") {
        if (isatty(STDOUT_FILENO)) fail("it is a terminal; redirect it or name a file");
        struct stat info {};
        // Redirected to a file: written there directly, header and all,
        // rather than held back for a stream.
        if (fstat(STDOUT_FILENO, &info) == 0 && S_ISREG(info.st_mode)) direct = true;
        else stream = toStandardOutput = true;
        return;
    }
    // Follow the links to the file they name: that file is what gets written.
    target = path;
    bool exists = false;
    for (int hop = 0;; ++hop) {
        if (hop > kMostLinks) fail(std::strerror(ELOOP));
        struct stat info {};
        if (lstat(target.c_str(), &info) != 0) {
            if (errno != ENOENT) fail(std::strerror(errno));
            break;
        }
        if (!S_ISLNK(info.st_mode)) {
            existing = info;
            exists = true;
            break;
        }
        std::error_code error;
        fs::path link = fs::read_symlink(target, error);
        if (error) fail(error.message());
        target = link.is_absolute() ? link.string() : (fs::path(folderOf(target)) / link).string();
    }

    if (exists) {
        if (S_ISDIR(existing.st_mode)) fail("is a directory");
        if (S_ISFIFO(existing.st_mode) || S_ISCHR(existing.st_mode)) {
            // Opening a pipe waits for its reader: only where a signal can cut the wait short.
            if (!streamAllowed) fail("a pipe or device; files rendered into a folder go to files");
            stream = true;
            return;
        }
        if (!S_ISREG(existing.st_mode)) fail("not a regular file");
        // The file's own protection counts even for a user (root) whom the
        // system would let through: a write-protected file was protected on purpose.
        if ((existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            fail("the file is write-protected; remove the protection or the file first");
        if (access(target.c_str(), W_OK) != 0) fail(std::strerror(errno));
        replacing = true;
    }
    const std::string folder = folderOf(target);
    const bool folderWritable = access(folder.c_str(), W_OK | X_OK) == 0;
    if (!exists && !folderWritable)
        fail("its folder '" + folder + "' " + (errno == ENOENT ? "does not exist" : "cannot be written to: " +
                                                                        std::string(std::strerror(errno))));
    // A rename would cut a hard link off, and a folder the user may not
    // change (unwritable, or sticky with another's file in it) refuses one:
    // then the finished render is copied into the existing file instead.
    if (exists && (existing.st_nlink > 1 || !folderWritable || renameRefused(folder, existing))) throughInode = true;
    claimTemporary(folderWritable ? folder : temporaryFolder());
}

OutputFile::~OutputFile() {
    if (!committed) discard();
}

std::string OutputFile::shownName() const { return shownPath == "-" ? "standard output" : "output '" + shownPath + "'"; }

void OutputFile::fail(const std::string& reason) const {
    throw ToolError(kExitFailure, "cannot write " + shownName() + ": " + reason);
}

int OutputFile::streamDescriptor() {
    if (toStandardOutput) return STDOUT_FILENO;
    if (openedStream < 0) {
        openedStream = retryUnlessStopped([&] { return open(target.c_str(), O_WRONLY | O_CLOEXEC); });
        if (openedStream < 0) fail(std::strerror(errno));
    }
    return openedStream;
}

void OutputFile::commitStream() {
    if (openedStream >= 0) {
        int closed = close(openedStream);
        openedStream = -1;
        if (closed != 0) fail(std::strerror(errno));
    }
    committed = true;
}

void OutputFile::claimTemporary(const std::string& folder) {
    long nameMax = pathconf(folder.c_str(), _PC_NAME_MAX);
    if (nameMax <= 0) nameMax = kUsualNameMax;
    const std::string fileName = fs::path(target).filename().string();
    std::random_device entropy;
    // O_EXCL never takes over a name that exists; 0666 lets the umask decide
    // a new file's mode as for any file the user creates.
    for (int attempt = 0; attempt < 16 && temporaryDescriptor < 0; ++attempt) {
        temporary = (fs::path(folder) / temporaryFileName(fileName, nameMax, static_cast<unsigned>(entropy()))).string();
        // Readable too: a render copied into an existing file is read back from here.
        temporaryDescriptor = open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (temporaryDescriptor < 0 && errno != EEXIST) break;
    }
    if (temporaryDescriptor < 0) {
        int reason = errno;
        temporary.clear();
        fail(std::strerror(reason));
    }
}

void OutputFile::commit() {
    if (direct) {
        committed = true;
        return;
    }
    if (throughInode) {
        copyIntoTarget();
        return;
    }
    if (replacing) {
        copyExtendedAttributes();
        // Owner first: a change of owner clears set-id bits, the mode restores them.
        if (existing.st_uid != geteuid() || existing.st_gid != getegid()) {
            if (fchown(temporaryDescriptor, existing.st_uid, existing.st_gid) != 0)
                (void)!fchown(temporaryDescriptor, static_cast<uid_t>(-1), existing.st_gid);
        }
        if (fchmod(temporaryDescriptor, existing.st_mode & 07777) != 0) fail(std::strerror(errno));
        // The old file goes at the rename: the new one must be on disk first.
        if (fsync(temporaryDescriptor) != 0) fail(std::strerror(errno));
    }
    int closed = close(temporaryDescriptor);
    temporaryDescriptor = -1;
    if (closed != 0) fail(std::strerror(errno));
    if (rename(temporary.c_str(), target.c_str()) != 0) fail(std::strerror(errno));
    committed = true;
}

void OutputFile::commit(const std::vector<unsigned char>& bytes) {
    if (!stream) {
        if (ftruncate(descriptor(), 0) != 0) fail(std::strerror(errno));
        writeAll(descriptor(), bytes);
        commit();
        return;
    }
    writeAll(streamDescriptor(), bytes);
    commitStream();
}

void OutputFile::copyIntoTarget() {
    // The render is whole in the temporary file: only now is the file, its
    // links, attributes and all, given the new content.
    if (fsync(temporaryDescriptor) != 0) fail(std::strerror(errno));
    const int into = retryUnlessStopped([&] { return open(target.c_str(), O_WRONLY | O_CLOEXEC); });
    if (into < 0) fail(std::strerror(errno));
    std::vector<unsigned char> piece(1 << 20);
    off_t done = 0;
    try {
        for (;;) {
            ssize_t got = pread(temporaryDescriptor, piece.data(), piece.size(), done);
            if (got < 0) fail(std::strerror(errno));
            if (got == 0) break;
            for (ssize_t put = 0; put < got;) {
                ssize_t written = pwrite(into, piece.data() + put, static_cast<size_t>(got - put), done + put);
                if (written < 0 && errno == EINTR) continue;
                if (written <= 0) fail(std::strerror(written < 0 ? errno : EIO));
                put += written;
            }
            done += got;
        }
        if (ftruncate(into, done) != 0 || fsync(into) != 0) fail(std::strerror(errno));
    } catch (...) {
        close(into);
        throw;
    }
    if (close(into) != 0) fail(std::strerror(errno));
    discard();
    committed = true;
}

void OutputFile::copyExtendedAttributes() const {
    // Best effort, as cp -a: an attribute the file system or the user may
    // not set is left behind rather than failing a finished render.
    const int from = open(target.c_str(), O_RDONLY | O_CLOEXEC);
    if (from < 0) return;
    ssize_t size = flistxattr(from, nullptr, 0);
    std::vector<char> names(size > 0 ? static_cast<size_t>(size) : 0);
    if (size > 0) size = flistxattr(from, names.data(), names.size());
    for (ssize_t at = 0; size > 0 && at < size; at += static_cast<ssize_t>(std::strlen(names.data() + at)) + 1) {
        const char* name = names.data() + at;
        ssize_t length = fgetxattr(from, name, nullptr, 0);
        if (length < 0) continue;
        std::vector<char> value(static_cast<size_t>(length));
        length = fgetxattr(from, name, value.data(), value.size());
        if (length >= 0) (void)fsetxattr(temporaryDescriptor, name, value.data(), static_cast<size_t>(length), 0);
    }
    close(from);
}

void OutputFile::writeAll(int descriptor, const std::vector<unsigned char>& bytes) const {
    // The temporary file is written from its start, wherever libsndfile left
    // its position; a pipe or device simply in order.
    const bool positioned = !stream;
    size_t done = 0;
    while (done < bytes.size()) {
        const unsigned char* from = bytes.data() + done;
        size_t count = bytes.size() - done;
        ssize_t written = retryUnlessStopped([&] {
            return positioned ? pwrite(descriptor, from, count, static_cast<off_t>(done))
                              : write(descriptor, from, count);
        });
        if (written <= 0) fail(std::strerror(written < 0 ? errno : EIO));
        done += static_cast<size_t>(written);
        // A signal that lands after part of a write went through cuts it short
        // without EINTR; the next write to a stalled pipe would block for good.
        if (done < bytes.size())
            if (int signal = stopsignals::received()) throw interruptedError(signal);
    }
}

void OutputFile::discard() {
    if (openedStream >= 0) close(openedStream);
    openedStream = -1;
    if (temporaryDescriptor >= 0) close(temporaryDescriptor);
    temporaryDescriptor = -1;
    if (!temporary.empty()) unlink(temporary.c_str());
}
