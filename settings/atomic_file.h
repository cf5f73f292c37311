#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::detail {

// Larger files are not read (no store comes anywhere near it).
constexpr std::size_t kMaxReadBytes = 1 << 20;

// The whole contents of a regular file of at most kMaxReadBytes; std::nullopt when it does
// not exist. Throws std::system_error when it exists but cannot be read, is not a regular
// file or is larger (never guess at a file's contents: saving over a file that was not read
// would lose the values in it). Never blocks on a FIFO or a device. Allocates.
std::optional<std::string> readWholeFile(const std::filesystem::path& file);

// The file that `file` names once its symbolic links (a dotfile manager's) are followed,
// also where the last one points to nothing yet; `file` itself when it is no link. Throws
// std::system_error for a loop of links. Allocates.
std::filesystem::path followLinks(const std::filesystem::path& file);

// Replaces `file` so that anyone reading it - or the next start after a crash, a kill or a
// full disk - finds either the old contents whole or the new contents whole: the new
// contents go to a temporary file in the same folder, are synced, and are renamed over the
// old file. A symbolic link stays a link: the file it leads to is replaced, in its own
// folder. Keeps an existing file's permissions. Throws std::system_error and leaves no
// temporary file behind. Allocates.
void replaceFileAtomically(const std::filesystem::path& file, std::string_view contents);

// Removes the temporary files that replaceFileAtomically(file) left behind when its process
// was killed. Only safe while holding the FolderLock that every writer of `file` takes.
void removeStaleTemporaries(const std::filesystem::path& file);

// How long FolderLock waits for another process to let go: a writer holds the lock for
// milliseconds, so a longer hold is a process that hangs or is stopped.
inline constexpr std::chrono::milliseconds kLockWaitLimit{5000};

// An exclusive advisory lock on a folder, held for its lifetime, so that two processes that
// save into the same folder take turns. Throws std::system_error, also when another holder
// keeps it longer than `limit`.
class FolderLock final {
public:
    explicit FolderLock(const std::filesystem::path& folder, std::chrono::milliseconds limit = kLockWaitLimit);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_;
};

#ifdef VELMORA_SETTINGS_CRASH_POINT
// Tests only: run after the temporary file is written and synced, before the rename, so that
// a test can kill the writer at the worst moment.
extern void (*crashPointBeforeRename)();
#endif

} // namespace velmora::detail
