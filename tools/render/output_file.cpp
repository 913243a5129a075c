#include "tools/render/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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
    claimTemporary();
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

void OutputFile::claimTemporary() {
    const std::string folder = folderOf(target);
    long nameMax = pathconf(folder.c_str(), _PC_NAME_MAX);
    if (nameMax <= 0) nameMax = kUsualNameMax;
    const std::string fileName = fs::path(target).filename().string();
    std::random_device entropy;
    // O_EXCL never takes over a name that exists; 0666 lets the umask decide
    // a new file's mode as for any file the user creates.
    for (int attempt = 0; attempt < 16 && temporaryDescriptor < 0; ++attempt) {
        temporary = (fs::path(folder) / temporaryFileName(fileName, nameMax, static_cast<unsigned>(entropy()))).string();
        temporaryDescriptor = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
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
    if (replacing) {
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
