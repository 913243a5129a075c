// varnox-render never loses a user's file: what it leaves behind when a run
// is stopped or a disk fills, and how it treats the file it replaces.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <csignal>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/tools/render_support.h"

namespace {

using namespace rendertest;

constexpr const char* kPrevious = "previous render";

class FileSafetyTest : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        writeAudio(in("short.wav"), testSignal(2, 44100, 3000));
    }
    void keep(const std::string& path) { std::ofstream(path) << kPrevious; }
    // Three minutes at a tiny block size: still running when a signal comes.
    void writeLongInput() {
        Audio input{1, 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_16, {}};
        input.samples.resize(180 * 44100);
        for (size_t n = 0; n < input.samples.size(); ++n) input.samples[n] = 0.5f * std::sin(0.05f * n);
        writeAudio(in("long.wav"), input);
    }
    bool waitForAnotherFile(size_t before) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (outputFiles().size() <= before) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
    struct stat status(const std::string& path) {
        struct stat info {};
        EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
        return info;
    }
};

TEST_F(FileSafetyTest, EveryStopSignalRemovesTheTemporaryFileAndKeepsTheOldOne) {
    writeLongInput();
    struct Case {
        int signal;
        const char* name;
    };
    for (const Case& c : {Case{SIGINT, "SIGINT"}, Case{SIGTERM, "SIGTERM"}, Case{SIGHUP, "SIGHUP"},
                          Case{SIGQUIT, "SIGQUIT"}}) {
        keep(out("long.wav"));
        pid_t child = start({in("long.wav"), out("long.wav"), "--block", "32", "-q"});
        // Signal once the temporary file is there: the render is under way.
        ASSERT_TRUE(waitForAnotherFile(1)) << c.name;
        kill(child, c.signal);
        EXPECT_EQ(finish(child), 128 + c.signal) << c.name;
        EXPECT_EQ(slurp(root / "stderr"), std::string("varnox-render: interrupted by ") + c.name + "; no output written\n");
        EXPECT_EQ(outputFiles(), std::vector<std::string>{"long.wav"}) << c.name;
        EXPECT_EQ(slurp(out("long.wav")), kPrevious) << c.name;
    }
}

TEST_F(FileSafetyTest, AStopEndsAWriteToAPipeNobodyReads) {
    // The pipe fills (as far as the tool's writes go: a small one is all or
    // nothing); the signal then cuts the blocked write short, or a write after
    // part of it went through, which is no EINTR: the stop must still be seen.
    writeLongInput();
    const std::string fifo = out("stalled");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    pid_t child = start({in("long.wav"), fifo, "--type", "wav", "-q"});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int held = 0;
    const int full = fcntl(reader, F_GETPIPE_SZ) - PIPE_BUF;
    while (held < full && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ioctl(reader, FIONREAD, &held);
    }
    ASSERT_GE(held, full) << "the pipe never filled";
    kill(child, SIGTERM);
    int status = 0;
    pid_t ended = 0;
    const auto patience = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((ended = waitpid(child, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < patience)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (ended != child) {
        kill(child, SIGKILL);
        finish(child);
        close(reader);
        FAIL() << "SIGTERM did not end the run";
    }
    close(reader);
    EXPECT_EQ(exitCodeOf(status), 128 + SIGTERM);
    EXPECT_NE(slurp(root / "stderr").find("interrupted by SIGTERM"), std::string::npos) << slurp(root / "stderr");
}

TEST_F(FileSafetyTest, AFullDiskOrTheFileSizeLimitFailsCleanly) {
    writeLongInput();
    keep(out("long.wav"));
    // A limit of 64 kB: the first blocks fit, the render does not.
    pid_t child = start({in("long.wav"), out("long.wav"), "-q"}, 64 * 1024);
    EXPECT_EQ(finish(child), 1);
    std::string error = slurp(root / "stderr");
    EXPECT_NE(error.find("cannot write output"), std::string::npos) << error;
    EXPECT_NE(error.find("File too large"), std::string::npos) << error;
    EXPECT_EQ(outputFiles(), std::vector<std::string>{"long.wav"});
    EXPECT_EQ(slurp(out("long.wav")), kPrevious);

    // A device that is always full.
    Result full = run({in("short.wav"), "/dev/full", "--type", "wav"});
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_NE(full.err.find("No space left on device"), std::string::npos) << full.err;
}

TEST_F(FileSafetyTest, SymbolicLinksStayLinksAndTheirTargetsAreWritten) {
    fs::create_directories(root / "target");
    const std::string real = (root / "target" / "real.wav").string();
    struct Case {
        std::string name;
        std::string linkText;   // what the link in out/ holds
        bool targetExists;
    };
    const std::vector<Case> cases = {
        {"relative", "../target/real.wav", true},
        {"absolute", real, true},
        {"dangling", "../target/real.wav", false},
    };
    for (const Case& c : cases) {
        fs::remove(real);
        if (c.targetExists) keep(real);
        fs::create_symlink(c.linkText, out("link.wav"));
        Result result = run({in("short.wav"), out("link.wav")});
        ASSERT_EQ(result.exitCode, 0) << c.name << ": " << result.err;
        EXPECT_TRUE(fs::is_symlink(out("link.wav"))) << c.name;
        EXPECT_EQ(fs::read_symlink(out("link.wav")).string(), c.linkText) << c.name;
        EXPECT_EQ(readAudio(real).frames(), 3000u) << c.name;
        EXPECT_EQ(outputFiles(), std::vector<std::string>{"link.wav"}) << c.name;
        EXPECT_EQ(filesIn(root / "target"), std::vector<std::string>{"real.wav"}) << c.name;
        fs::remove(out("link.wav"));
    }
    // A chain of links ends at the same file.
    fs::create_symlink("link.wav", out("chain.wav"));
    fs::create_symlink("../target/real.wav", out("link.wav"));
    ASSERT_EQ(run({in("short.wav"), out("chain.wav")}).exitCode, 0);
    EXPECT_TRUE(fs::is_symlink(out("chain.wav")));
    EXPECT_EQ(readAudio(real).frames(), 3000u);
}

TEST_F(FileSafetyTest, AReplacedFileKeepsItsModeAndOwner) {
    for (mode_t mode : {0640, 0600, 0664, 0604}) {
        keep(out("kept.wav"));
        chmod(out("kept.wav").c_str(), mode);
        ASSERT_EQ(run({in("short.wav"), out("kept.wav")}).exitCode, 0);
        EXPECT_EQ(status(out("kept.wav")).st_mode & 07777, mode);
        EXPECT_EQ(readAudio(out("kept.wav")).frames(), 3000u);
    }
    // A new file gets what the umask leaves of 0666, as any new file.
    mode_t mask = umask(0);
    umask(mask);
    ASSERT_EQ(run({in("short.wav"), out("new.wav")}).exitCode, 0);
    EXPECT_EQ(status(out("new.wav")).st_mode & 07777, 0666 & ~mask);

    if (geteuid() != 0) GTEST_SKIP() << "giving a file to another owner needs root";
    keep(out("theirs.wav"));
    ASSERT_EQ(chown(out("theirs.wav").c_str(), 4321, 8765), 0);
    ASSERT_EQ(run({in("short.wav"), out("theirs.wav")}).exitCode, 0);
    EXPECT_EQ(status(out("theirs.wav")).st_uid, 4321u);
    EXPECT_EQ(status(out("theirs.wav")).st_gid, 8765u);
}

TEST_F(FileSafetyTest, AWriteProtectedFileIsRefused) {
    // Refused even for root, who could write it: the protection was meant.
    keep(out("locked.wav"));
    chmod(out("locked.wav").c_str(), 0444);
    Result result = run({in("short.wav"), out("locked.wav")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("write-protected"), std::string::npos) << result.err;
    EXPECT_EQ(slurp(out("locked.wav")), kPrevious);
    EXPECT_EQ(outputFiles(), std::vector<std::string>{"locked.wav"});
}

TEST_F(FileSafetyTest, TheSameFileInAndOutIsRefusedUnlessInPlace) {
    const std::string source = in("short.wav");
    fs::create_symlink(source, in("alias.wav"));
    fs::create_hard_link(source, in("hard.wav"));
    const std::string before = slurp(source);
    for (const std::string& output : {source, in("alias.wav"), in("hard.wav")}) {
        Result result = run({source, output});
        EXPECT_EQ(result.exitCode, 2) << output;
        EXPECT_NE(result.err.find("both input and output"), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("--in-place"), std::string::npos) << result.err;
        EXPECT_EQ(slurp(source), before) << output;
    }
    // With --in-place the render replaces the file, as a render elsewhere would have made it.
    ASSERT_EQ(run({source, out("elsewhere.wav"), "--program", "9"}).exitCode, 0);
    Result inPlace = run({source, source, "--program", "9", "--in-place"});
    ASSERT_EQ(inPlace.exitCode, 0) << inPlace.err;
    EXPECT_EQ(slurp(source), slurp(out("elsewhere.wav")));
    EXPECT_EQ(filesIn(root / "in"), (std::vector<std::string>{"alias.wav", "hard.wav", "short.wav"}));
}

TEST_F(FileSafetyTest, ADamagedInputIsNeverReplacedByWhatCouldBeReadOfIt) {
    // An unfinished recording (data size 0: nothing reads), and a file that
    // holds more audio than its header declares (a size wrapped past 32
    // bits in a WAV over 4 GiB looks the same, at a smaller scale).
    Audio input = testSignal(2, 44100, 20000);
    input.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    writeAudio(in("unsized.wav"), input);
    std::string wav = slurp(in("unsized.wav"));
    ASSERT_EQ(wav.substr(36, 4), "data");
    std::string unsized = wav, wrapped = wav;
    unsized.replace(40, 4, std::string(4, '\0'));
    const uint32_t declared = 4 * 5000;  // a quarter of the audio
    for (int i = 0; i < 4; ++i) wrapped[40 + static_cast<size_t>(i)] = static_cast<char>(declared >> (8 * i));
    for (const auto& [name, bytes] : {std::pair<std::string, std::string>{"unsized.wav", unsized}, {"wrapped.wav", wrapped}}) {
        std::ofstream(out(name), std::ios::binary) << bytes;
        Result alone = run({out(name), out(name), "--in-place"});
        EXPECT_EQ(alone.exitCode, 4) << name << ": " << alone.err;
        EXPECT_NE(alone.err.find("is damaged"), std::string::npos) << alone.err;
        EXPECT_NE(alone.err.find("not replaced"), std::string::npos) << alone.err;
        EXPECT_TRUE(slurp(out(name)) == bytes) << name << " was changed";
        // A batch into the input's own folder takes the same care.
        Result batch = run({"-o", out(""), "--in-place", out(name)});
        EXPECT_EQ(batch.exitCode, 4) << name << ": " << batch.err;
        EXPECT_TRUE(slurp(out(name)) == bytes) << name << " was changed by the batch";
    }
    EXPECT_EQ(outputFiles(), (std::vector<std::string>{"unsized.wav", "wrapped.wav"}));
}

TEST_F(FileSafetyTest, AReplacedFileKeepsItsHardLinksAndExtendedAttributes) {
    ASSERT_EQ(run({in("short.wav"), out("reference.wav")}).exitCode, 0);
    keep(out("take.wav"));
    keep(out("single.wav"));
    fs::create_hard_link(out("take.wav"), in("take-link.wav"));
    const bool attributes = setxattr(out("take.wav").c_str(), "user.take", "3", 1, 0) == 0 &&
                            setxattr(out("single.wav").c_str(), "user.take", "4", 1, 0) == 0;
    const ino_t inode = status(out("take.wav")).st_ino;

    for (const char* name : {"take.wav", "single.wav"}) {
        Result result = run({in("short.wav"), out(name)});
        ASSERT_EQ(result.exitCode, 0) << name << ": " << result.err;
        EXPECT_TRUE(slurp(out(name)) == slurp(out("reference.wav"))) << name;
    }
    // The linked file was written through: one file under both names.
    EXPECT_EQ(status(out("take.wav")).st_ino, inode);
    EXPECT_EQ(status(out("take.wav")).st_nlink, 2u);
    EXPECT_TRUE(slurp(in("take-link.wav")) == slurp(out("reference.wav")));
    EXPECT_EQ(outputFiles(), (std::vector<std::string>{"reference.wav", "single.wav", "take.wav"}));
    if (!attributes) GTEST_SKIP() << "no user extended attributes on this file system";
    for (const auto& [name, value] : {std::pair<const char*, char>{"take.wav", '3'}, {"single.wav", '4'}}) {
        char read = 0;
        EXPECT_EQ(getxattr(out(name).c_str(), "user.take", &read, 1), 1) << name;
        EXPECT_EQ(read, value) << name;
    }
}

TEST_F(FileSafetyTest, AFolderThatRefusesTheRenameGetsTheFileWrittenThroughItself) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    // Everything the unprivileged user reads or writes is opened to it.
    fs::permissions(root, fs::perms::all);
    fs::permissions(root / "in", fs::perms::all);
    // A sticky shared folder holding another user's world-writable file,
    // and a folder nobody else may change holding one.
    const fs::path shared = root / "shared", locked = root / "locked";
    fs::create_directory(shared);
    fs::create_directory(locked);
    fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
    for (const fs::path& folder : {shared, locked}) {
        keep((folder / "target.wav").string());
        fs::permissions(folder / "target.wav", fs::perms::owner_read | fs::perms::owner_write |
                                                   fs::perms::group_read | fs::perms::group_write |
                                                   fs::perms::others_read | fs::perms::others_write);
    }
    fs::permissions(locked, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
    ASSERT_EQ(run({in("short.wav"), out("reference.wav")}).exitCode, 0);

    RunOptions nobody;
    nobody.asNobody = true;
    for (const fs::path& folder : {shared, locked}) {
        const std::string target = (folder / "target.wav").string();
        Result result = run({in("short.wav"), target}, nobody);
        ASSERT_EQ(result.exitCode, 0) << target << ": " << result.err;
        EXPECT_TRUE(slurp(target) == slurp(out("reference.wav"))) << target;
        EXPECT_EQ(status(target).st_uid, 0u) << "still root's file";
        EXPECT_EQ(filesIn(folder), std::vector<std::string>{"target.wav"});
    }
    // A new file there cannot be made at all: said before the render, with
    // the folder named as the cause.
    Result refused = run({in("short.wav"), (locked / "new.wav").string()}, nobody);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("its folder '" + locked.string() + "' cannot be written to: Permission denied"),
              std::string::npos) << refused.err;
}

TEST_F(FileSafetyTest, NamesAtTheFileNameLimitWork) {
    const long nameMax = pathconf((root / "out").c_str(), _PC_NAME_MAX);
    ASSERT_GT(nameMax, 20);
    // Plain letters to the limit, and two-byte characters the temporary
    // name must not cut in half.
    std::string longest = std::string(static_cast<size_t>(nameMax) - 4, 'n') + ".wav";
    std::string accents;
    while (accents.size() + 2 + 4 <= static_cast<size_t>(nameMax)) accents += "\xC3\xA9";
    accents += ".wav";
    for (const std::string& name : {longest, accents}) {
        Result result = run({in("short.wav"), out(name)});
        ASSERT_EQ(result.exitCode, 0) << name.size() << " bytes: " << result.err;
        EXPECT_EQ(outputFiles(), std::vector<std::string>{name});
        EXPECT_EQ(readAudio(out(name)).frames(), 3000u);
        fs::remove(out(name));
    }
}

}  // namespace
