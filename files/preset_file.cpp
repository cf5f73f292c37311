#include "preset_file.h"
#include "windows1252.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace velmora {

namespace {
std::string Quoted(const std::filesystem::path& file) { return "\"" + file.string() + "\""; }

std::string SystemText(int error) { return std::strerror(error); }

bool HeaderIs(std::string_view bytes, std::string_view header)
{
    return bytes.size() >= kPresetHeaderSize && static_cast<unsigned char>(bytes[0]) == header.size() &&
           bytes.substr(1, header.size()) == header;
}

// Closes a descriptor on every way out.
struct Descriptor {
    int fd = -1;
    ~Descriptor()
    {
        if (fd >= 0) ::close(fd);
    }
    int release()
    {
        const int f = fd;
        fd = -1;
        return f;
    }
};

bool WriteAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}
void AppendShortText(std::string& out, const std::string& utf8)
{
    std::string encoded = Utf8ToWindows1252(utf8);
    if (encoded.size() > kShortTextMax) encoded.resize(kShortTextMax);
    out += static_cast<char>(encoded.size());
    out += encoded;
}

// Reads the block after the records into the memories; a block that is cut short or of
// another version leaves them all at their defaults.
void ParseAddedBlock(std::string_view block, PresetRecords& records)
{
    if (block.size() < 5 || block.substr(0, 4) != kPresetAddedTag || block[4] != 1) return;
    size_t at = 5;
    auto shortText = [&](std::string& out) {
        if (at >= block.size()) return false;
        const size_t n = static_cast<unsigned char>(block[at]);
        if (at + 1 + n > block.size()) return false;
        out = Windows1252ToUtf8(block.substr(at + 1, n));
        at += 1 + n;
        return true;
    };
    std::array<PresetAdded, kPresetCount> added{};
    for (PresetAdded& a : added) {
        for (size_t c = 0; c < 2; ++c) {
            if (!shortText(a.txtCycles[c]) || at + 4 > block.size()) return;
            const auto* p = reinterpret_cast<const unsigned char*>(block.data() + at);
            a.cboBurstWindow[c] = static_cast<int32_t>(uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 |
                                                       uint32_t{p[3]} << 24);
            at += 4;
            if (!shortText(a.cboBand[c])) return;
        }
    }
    for (size_t n = 0; n < records.size(); ++n) records[n].added = added[n];
}
} // namespace

PresetFileKind PresetFileKindOf(std::string_view bytes)
{
    // The oldest format is a text file: its first line (at most 20 characters read) names it.
    const std::string_view firstLine = bytes.substr(0, bytes.find_first_of("\r\n"));
    if (firstLine.substr(0, kPresetHeaderV32.size()) == kPresetHeaderV32) return PresetFileKind::Obsolete;
    if (HeaderIs(bytes, kPresetHeaderV41)) return PresetFileKind::Current;
    if (HeaderIs(bytes, kPresetHeaderV36)) return PresetFileKind::Old36;
    return PresetFileKind::Unknown;
}

PresetFileContents ParsePresetFile(std::string_view bytes, std::string_view nameForMessages)
{
    PresetFileContents contents;
    contents.kind = PresetFileKindOf(bytes);
    if (contents.kind != PresetFileKind::Current && contents.kind != PresetFileKind::Old36)
        return contents;
    const bool current = contents.kind == PresetFileKind::Current;
    const size_t need = current ? kPresetFileSize : kPresetFileSize36;
    const size_t recordSize = current ? kPresetSlotSize : kPresetSlotSize36;
    if (bytes.size() < need)
        throw PresetFileError("The preset file " + std::string(nameForMessages) + " is incomplete: " +
                              std::to_string(bytes.size()) + " of " + std::to_string(need) + " bytes.");
    for (size_t n = 0; n < contents.records.size(); ++n) {
        const std::string_view record = bytes.substr(kPresetHeaderSize + n * recordSize, recordSize);
        std::memcpy(contents.records[n].bytes.data(), record.data(), recordSize);
    }
    if (current) ParseAddedBlock(bytes.substr(need), contents.records);
    return contents;
}

std::string ReadPresetFileBytes(const std::filesystem::path& file)
{
    // Not blocking in the open: a FIFO would wait for a writer for ever.
    Descriptor d{::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)};
    if (d.fd < 0) throw PresetFileError("Cannot open file " + Quoted(file) + ". " + SystemText(errno));
    struct stat st {};
    if (::fstat(d.fd, &st) != 0)
        throw PresetFileError("Cannot read file " + Quoted(file) + ". " + SystemText(errno));
    if (!S_ISREG(st.st_mode))
        throw PresetFileError("Cannot read file " + Quoted(file) + ". It is not a regular file.");
    std::string bytes(kPresetFileSize + kPresetAddedMaxSize, '\0');
    size_t have = 0;
    while (have < bytes.size()) {
        const ssize_t n = ::read(d.fd, bytes.data() + have, bytes.size() - have);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw PresetFileError("Cannot read file " + Quoted(file) + ". " + SystemText(errno));
        }
        if (n == 0) break;
        have += static_cast<size_t>(n);
    }
    bytes.resize(have);
    return bytes;
}

PresetFileContents ReadPresetFile(const std::filesystem::path& file)
{
    return ParsePresetFile(ReadPresetFileBytes(file), file.string());
}

std::string BuildPresetFile(const PresetRecords& records)
{
    std::string bytes;
    bytes.reserve(kPresetFileSize);
    bytes += static_cast<char>(kPresetHeaderV41.size());
    bytes += kPresetHeaderV41;
    for (const PresetSlot& r : records)
        bytes.append(reinterpret_cast<const char*>(r.bytes.data()), r.bytes.size());
    bytes += kPresetAddedTag;
    bytes += static_cast<char>(1);
    for (const PresetSlot& r : records) {
        for (size_t c = 0; c < 2; ++c) {
            AppendShortText(bytes, r.added.txtCycles[c]);
            const auto w = static_cast<uint32_t>(r.added.cboBurstWindow[c]);
            for (int i = 0; i < 4; ++i) bytes += static_cast<char>(w >> (8 * i));
            AppendShortText(bytes, r.added.cboBand[c]);
        }
    }
    return bytes;
}

void WritePresetFile(const std::filesystem::path& file, const PresetRecords& records)
{
    const std::string bytes = BuildPresetFile(records);
    // Replace what a link points at, not the link.
    std::filesystem::path target = file;
    std::error_code ec;
    if (std::filesystem::is_symlink(file, ec)) {
        const std::filesystem::path resolved = std::filesystem::weakly_canonical(file, ec);
        if (!ec) target = resolved;
    }
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;

    static std::atomic<unsigned> counter{0};
    std::string temporary;
    Descriptor d;
    for (int attempt = 0; attempt < 100 && d.fd < 0; ++attempt) {
        temporary = target.string() + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        d.fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (d.fd < 0 && errno != EEXIST) break;
    }
    if (d.fd < 0) throw PresetFileError("Cannot create file " + Quoted(file) + ". " + SystemText(errno));

    auto fail = [&](const char* what) {
        const int error = errno;
        ::close(d.release());
        ::unlink(temporary.c_str());
        throw PresetFileError(std::string(what) + " " + Quoted(file) + ". " + SystemText(error));
    };
    if (existed) (void)::fchmod(d.fd, old.st_mode & 07777);
    if (!WriteAll(d.fd, bytes)) fail("Cannot write file");
    if (::fsync(d.fd) != 0) fail("Cannot write file");
    if (::close(d.release()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw PresetFileError("Cannot write file " + Quoted(file) + ". " + SystemText(error));
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw PresetFileError("Cannot create file " + Quoted(file) + ". " + SystemText(error));
    }
}

} // namespace velmora
