#include "output_file.h"

#include <algorithm>
#include <sys/statvfs.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "wave_export.h"

namespace velmora {

namespace {

std::atomic<bool> g_unnamedFiles{true};

// A named temporary file is removed by whichever catchable signal ends the process while
// it exists; the handler then hands the signal on to what was installed before.
constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGUSR1, SIGUSR2};
constexpr int kSignalCount = sizeof kCleanupSignals / sizeof kCleanupSignals[0];
char g_pendingName[PATH_MAX + 1];
volatile std::sig_atomic_t g_pendingSet = 0;
struct sigaction g_previous[kSignalCount];

extern "C" void RemovePendingOnSignal(int signo)
{
    if (g_pendingSet) {
        g_pendingSet = 0;
        ::unlink(g_pendingName);
    }
    for (int i = 0; i < kSignalCount; ++i) {
        if (kCleanupSignals[i] != signo) continue;
        const struct sigaction& before = g_previous[i];
        if (before.sa_handler == SIG_IGN) return;
        if (before.sa_handler == SIG_DFL) {
            ::signal(signo, SIG_DFL);
            ::raise(signo);
            return;
        }
        if (before.sa_flags & SA_SIGINFO)
            before.sa_sigaction(signo, nullptr, nullptr);
        else
            before.sa_handler(signo);
        return;
    }
}

void WatchPendingName(const std::string& name)
{
    if (name.size() > PATH_MAX) return;
    std::memcpy(g_pendingName, name.c_str(), name.size() + 1);
    struct sigaction sa {};
    sa.sa_handler = RemovePendingOnSignal;
    sigemptyset(&sa.sa_mask);
    for (int signo : kCleanupSignals) sigaddset(&sa.sa_mask, signo);
    for (int i = 0; i < kSignalCount; ++i) sigaction(kCleanupSignals[i], &sa, &g_previous[i]);
    g_pendingSet = 1;
}

void UnwatchPendingName()
{
    g_pendingSet = 0;
    for (int i = 0; i < kSignalCount; ++i) sigaction(kCleanupSignals[i], &g_previous[i], nullptr);
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The path a chain of symbolic links ends in, whether that file exists or not.
std::string FollowLinks(const std::string& target)
{
    std::string path = target;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::string link(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1, '\0');
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n < 0) return path;
        link.resize(static_cast<size_t>(n));
        path = link.starts_with('/') ? link : FolderOf(path) + "/" + link;
    }
    throw FileAccessError(target, ELOOP);
}

// A short random name in `folder`, so that names of up to 255 bytes stay writable.
std::string TemporaryName(const std::string& folder)
{
    static thread_local std::mt19937_64 random{std::random_device{}()};
    char name[32];
    std::snprintf(name, sizeof name, "/.velmora-%012llx.tmp",
                  static_cast<unsigned long long>(random() & 0xFFFFFFFFFFFFull));
    return folder + name;
}

} // namespace

void OutputFile::setUnnamedFilesForTesting(bool available) { g_unnamedFiles.store(available); }

OutputFile::OutputFile(const std::string& target) : target_(target)
{
    final_ = FollowLinks(target);
    folder_ = FolderOf(final_);
    struct stat st {};
    const bool exists = ::stat(final_.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        fd_ = ::open(final_.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd_ < 0) throw FileAccessError(target, errno);
        direct_ = true;
        return;
    }
    if (exists) {
        // Replacing is a matter of the folder's permissions, but a file the user may not
        // write is not the user's to replace.
        const int probe = ::open(final_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (probe < 0) throw FileAccessError(target, errno);
        ::close(probe);
    }

    const mode_t mask = ::umask(0);
    ::umask(mask);
    const mode_t mode = exists ? (st.st_mode & 07777) : (0666 & ~mask);
    if (g_unnamedFiles.load()) {
        fd_ = ::open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (fd_ >= 0)
            unnamed_ = true;
        else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT)
            throw FileAccessError(target, errno);
        else if (errno == ENOENT && ::access(folder_.c_str(), F_OK) != 0)
            throw FileAccessError(target, ENOENT);
    }
    if (fd_ < 0) {
        for (int attempt = 0; fd_ < 0; ++attempt) {
            tempName_ = TemporaryName(folder_);
            fd_ = ::open(tempName_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd_ < 0 && (errno != EEXIST || attempt == 100)) {
                const int error = errno;
                tempName_.clear();
                throw FileAccessError(target, error);
            }
        }
        WatchPendingName(tempName_);
    }
    // The owner first (where the process may), since a change of owner clears set-id bits.
    if (exists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid()))
        [[maybe_unused]] const int owned = ::fchown(fd_, st.st_uid, st.st_gid);
    ::fchmod(fd_, mode);
}

OutputFile::OutputFile(int fd, const std::string& name)
    : target_(name), fd_(fd), direct_(true), owned_(false) {}

OutputFile::~OutputFile()
{
    if (fd_ >= 0 && owned_) ::close(fd_);
    if (!committed_) dropTemporary();
}

void OutputFile::dropTemporary()
{
    if (tempName_.empty()) return;
    ::unlink(tempName_.c_str());
    tempName_.clear();
    UnwatchPendingName();
}

void OutputFile::reserve(uint64_t bytes)
{
    if (direct_ || bytes == 0) return;
    const int r = ::fallocate(fd_, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes));
    if (r == 0) return;
    const int error = errno;
    if (error == ENOSPC || error == EFBIG || error == EDQUOT) throw FileAccessError(target_, ENOSPC);
    // A file system that cannot reserve is asked how much it has free.
    struct statvfs fs{};
    if (::fstatvfs(fd_, &fs) == 0 &&
        static_cast<unsigned __int128>(fs.f_bavail) * fs.f_frsize < bytes)
        throw FileAccessError(target_, ENOSPC);
}

void OutputFile::write(const uint8_t* data, size_t size)
{
    if (pending_.capacity() < kWriteBlock) pending_.reserve(kWriteBlock);
    while (size > 0) {
        const size_t room = kWriteBlock - pending_.size();
        if (pending_.empty() && size >= kWriteBlock) {
            // Whole blocks go straight out.
            const size_t whole = size - size % kWriteBlock;
            writeOut(data, whole);
            data += whole;
            size -= whole;
            continue;
        }
        const size_t n = std::min(room, size);
        pending_.insert(pending_.end(), data, data + n);
        data += n;
        size -= n;
        if (pending_.size() == kWriteBlock) flush();
    }
}

void OutputFile::flush()
{
    if (pending_.empty()) return;
    writeOut(pending_.data(), pending_.size());
    pending_.clear();
}

void OutputFile::writeOut(const uint8_t* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw FileAccessError(target_, errno);
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
}

void OutputFile::commit()
{
    flush();
    if (direct_) {
        const int fd = fd_;
        fd_ = -1;
        if (owned_ && ::close(fd) != 0) throw FileAccessError(target_, errno);
        committed_ = true;
        return;
    }
    // Written through before it takes the old file's place: a crash afterwards finds the
    // old file or the new one whole.
    if (::fsync(fd_) != 0 && errno != EINVAL) throw FileAccessError(target_, errno);
    if (unnamed_) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, final_.c_str(), AT_SYMLINK_FOLLOW) != 0) {
            if (errno != EEXIST) throw FileAccessError(target_, errno);
            // An existing file is replaced in one step: linked in under a temporary name,
            // then renamed over it. Only that instant has a name to leave behind.
            for (int attempt = 0;; ++attempt) {
                tempName_ = TemporaryName(folder_);
                if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, tempName_.c_str(), AT_SYMLINK_FOLLOW) == 0)
                    break;
                const int error = errno;
                tempName_.clear();
                if (error != EEXIST || attempt == 100) throw FileAccessError(target_, error);
            }
            WatchPendingName(tempName_);
        }
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) throw FileAccessError(target_, errno);
    if (!tempName_.empty()) {
        if (::rename(tempName_.c_str(), final_.c_str()) != 0) throw FileAccessError(target_, errno);
        tempName_.clear();
        UnwatchPendingName();
    }
    committed_ = true;
}

} // namespace velmora
