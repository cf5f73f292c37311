#pragma once
// Where an export's bytes go. A regular file appears only when it is complete, and a killed
// process leaves nothing behind: the bytes go to an unnamed file in the target's folder
// that is linked into place at the end. Only where the file system has no unnamed files is
// a named temporary file used, removed again on every catchable signal. A device or pipe
// (/dev/null, say) is written in place and never replaced.
//
// Rules of the target, the same whether it exists or not: symbolic links are followed to
// the file they name (a dangling link gets its file created where it points); a file the
// user may not write is refused and stays untouched; a replaced file keeps its mode (and,
// where the process may, its owner).
//
// Threads: one object is used by one thread at a time (the export's writer may hand it to
// its second thread); allocates when made.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

class OutputFile final {
public:
    // Throws FileAccessError when the target cannot be written.
    explicit OutputFile(const std::string& target);
    // An open descriptor (standard output, say), written in place and left open for its
    // owner; `name` is for messages.
    OutputFile(int fd, const std::string& name);
    // Removes the unfinished file unless committed.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Makes sure the file system holds `bytes` more before anything is written: a file that
    // cannot fit is refused at once (FileAccessError, "No space left on device") and nothing
    // is left behind. Reserves the space where the file system can; a device or pipe has
    // no limit. Throws FileAccessError.
    void reserve(uint64_t bytes);
    // Collects the bytes and writes them in blocks of kWriteBlock. Throws FileAccessError.
    void write(const uint8_t* data, size_t size);
    // Writes what is collected and puts the finished file in place. Throws FileAccessError.
    void commit();

    // Large writes cost the file system least; the last block may be shorter.
    static constexpr size_t kWriteBlock = size_t{1} << 20;

    // Tests only: pretend the file system has no unnamed files.
    static void setUnnamedFilesForTesting(bool available);

private:
    void dropTemporary();
    void writeOut(const uint8_t* data, size_t size);
    void flush();

    std::string target_;  // as the caller named it, for messages
    std::string final_;   // the file the bytes end up in, links followed
    std::string folder_;
    std::string tempName_; // the named temporary file, when there is one
    int fd_ = -1;
    bool direct_ = false;  // a device or pipe, written in place
    bool unnamed_ = false; // an unnamed file, linked in at commit
    bool committed_ = false;
    bool owned_ = true;    // false for a descriptor the caller keeps
    std::vector<uint8_t> pending_; // collected bytes, written once kWriteBlock are there
};

} // namespace velmora
