#include "settings/atomic_file.h"

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora::detail {

#ifdef VELMORA_SETTINGS_CRASH_POINT
void (*crashPointBeforeRename)() = nullptr;
#endif

namespace {

[[noreturn]] void fail(const std::string& what, int error = errno)
{
    throw std::system_error(error, std::generic_category(), what);
}

class FileDescriptor final {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { if (fd_ >= 0) ::close(fd_); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    // Closing is where some file systems report a failed write, so it is checked.
    int release() { return ::close(std::exchange(fd_, -1)); }

private:
    int fd_;
};

std::filesystem::path folderOf(const std::filesystem::path& file)
{
    const auto folder = file.parent_path();
    return folder.empty() ? std::filesystem::path(".") : folder;
}

constexpr std::string_view kTemporaryMark = ".tmp-";

// A new, empty file beside `file`, with a name no other writer uses.
std::filesystem::path createTemporary(const std::filesystem::path& file, int& fd)
{
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (unsigned attempt = 0;; ++attempt) {
        auto name = file;
        name += std::string(kTemporaryMark) + std::to_string(::getpid()) + "-" + std::to_string(stamp) + "-" +
                std::to_string(attempt);
        fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            return name;
        if (errno != EEXIST || attempt == 100)
            fail("cannot create '" + name.string() + "'");
    }
}

void writeAll(int fd, std::string_view data, const std::filesystem::path& name)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail("cannot write '" + name.string() + "'");
        data.remove_prefix(std::size_t(n));
    }
}

} // namespace

std::optional<std::string> readWholeFile(const std::filesystem::path& file)
{
    // Not blocking in the open: a FIFO put where the file should be would wait for a
    // writer for ever.
    FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0 && errno == ENOENT)
        return std::nullopt;
    if (fd.get() < 0)
        fail("cannot open '" + file.string() + "'");
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        fail("cannot read '" + file.string() + "'");
    // Only a regular file is a store: a device (a link to /dev/zero, say) would never end.
    if (!S_ISREG(st.st_mode))
        fail("cannot read '" + file.string() + "': not a regular file", EINVAL);
    if (st.st_size > off_t(kMaxReadBytes))
        fail("cannot read '" + file.string() + "': larger than 1 MiB", EFBIG);
    std::string contents;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail("cannot read '" + file.string() + "'");
        if (n == 0)
            return contents;
        contents.append(buffer, std::size_t(n));
        if (contents.size() > kMaxReadBytes) // grew while being read
            fail("cannot read '" + file.string() + "': larger than 1 MiB", EFBIG);
    }
}

std::filesystem::path followLinks(const std::filesystem::path& file)
{
    std::filesystem::path at = file;
    for (int hops = 0;; ++hops) {
        std::error_code ec;
        const auto status = std::filesystem::symlink_status(at, ec);
        if (ec || !std::filesystem::is_symlink(status))
            return at;
        if (hops == 40)
            fail("cannot follow the links of '" + file.string() + "'", ELOOP);
        const auto target = std::filesystem::read_symlink(at, ec);
        if (ec)
            fail("cannot read the link '" + at.string() + "'", ec.value());
        at = target.is_absolute() ? target : folderOf(at) / target;
    }
}

void replaceFileAtomically(const std::filesystem::path& linkOrFile, std::string_view contents)
{
    // Renaming over a link would put a regular file in its place and leave what it leads to
    // as it was.
    const std::filesystem::path file = followLinks(linkOrFile);
    int rawFd = -1;
    const auto temporary = createTemporary(file, rawFd);
    FileDescriptor fd(rawFd);
    try {
        struct stat old {};
        if (::stat(file.c_str(), &old) == 0 && ::fchmod(fd.get(), old.st_mode & 07777) != 0)
            fail("cannot set the permissions of '" + temporary.string() + "'");
        writeAll(fd.get(), contents, temporary);
        if (::fsync(fd.get()) != 0)
            fail("cannot sync '" + temporary.string() + "'");
        if (fd.release() != 0)
            fail("cannot write '" + temporary.string() + "'");
#ifdef VELMORA_SETTINGS_CRASH_POINT
        if (crashPointBeforeRename)
            crashPointBeforeRename();
#endif
        if (::rename(temporary.c_str(), file.c_str()) != 0)
            fail("cannot replace '" + file.string() + "'");
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
    // The rename itself reaches the disk only with its folder.
    FileDescriptor folder(::open(folderOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0 || ::fsync(folder.get()) != 0)
        fail("cannot sync the folder of '" + file.string() + "'");
}

void removeStaleTemporaries(const std::filesystem::path& linkOrFile)
{
    std::filesystem::path file;
    try {
        file = followLinks(linkOrFile);
    } catch (const std::system_error&) {
        return;
    }
    const std::string prefix = file.filename().string() + std::string(kTemporaryMark);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folderOf(file), ec)) {
        if (entry.path().filename().string().starts_with(prefix))
            std::filesystem::remove(entry.path(), ec); // best effort: a leftover harms nothing
    }
}

FolderLock::FolderLock(const std::filesystem::path& folder, std::chrono::milliseconds limit)
    : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
{
    if (fd_ < 0)
        fail("cannot open the folder '" + folder.string() + "'");
    // A holder that is stopped (SIGSTOP) or hangs would keep a blocking flock waiting for
    // ever: try, and look again every few milliseconds until the limit.
    const auto deadline = std::chrono::steady_clock::now() + limit;
    auto pause = std::chrono::milliseconds(2);
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EINTR)
            continue;
        if (error != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
            ::close(fd_);
            if (error == EWOULDBLOCK) {
                char seconds[32];
                std::snprintf(seconds, sizeof seconds, "%.1f", static_cast<double>(limit.count()) / 1000);
                fail("cannot lock the folder '" + folder.string() + "': another program has held it for " + seconds +
                         " s",
                     error);
            }
            fail("cannot lock the folder '" + folder.string() + "'", error);
        }
        ::usleep(static_cast<useconds_t>(std::chrono::microseconds(pause).count()));
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
}

FolderLock::~FolderLock() { ::close(fd_); }

} // namespace velmora::detail
