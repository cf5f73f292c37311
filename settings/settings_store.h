#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/settings_document.h"
#include "settings/settings_error.h"

namespace velmora {

// The program's named values (text, integer, boolean) in one human-readable file,
// $XDG_CONFIG_HOME/Karvell/Velmora.conf. Each use opens the store, reads or writes, and
// closes it; no store is held between uses. Names match without regard to case.
//
// Writes collect in memory and reach the disk together at close(), in one atomic replace of
// the file; close() first re-reads the file under a folder lock, so values that another
// process saved meanwhile are kept. A crash or a full disk leaves the old file whole.
//
// Errors are SettingsError naming the value. Window thread (or any single thread); every
// operation may allocate, open() and close() touch the disk.
class SettingsStore final {
public:
    // $XDG_CONFIG_HOME/Karvell/Velmora.conf, or ~/.config/Karvell/Velmora.conf when the
    // variable is unset or not an absolute path.
    static std::filesystem::path defaultLocation();

    // Opens an existing store without creating it. When the file is missing or cannot be
    // read, the store stays unopened: every read behaves as for a missing value. A store
    // opened for reading cannot be written.
    static SettingsStore openForReading(const std::filesystem::path& file = defaultLocation());
    // Opens the store for reading and writing, creating its folders and an empty file when
    // they are missing. When that fails, or the file exists but cannot be read (saving over
    // it would lose its values), the store stays unopened and every write fails.
    static SettingsStore openForWriting(const std::filesystem::path& file = defaultLocation());

    SettingsStore(SettingsStore&& other) noexcept;
    SettingsStore& operator=(SettingsStore&& other) noexcept;
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;
    // Saves what close() would; a failure there cannot be reported, so call close().
    ~SettingsStore();

    bool isOpen() const { return access_ != Access::Unopened; }
    // Why an open failed (the system's reason, naming the file); "" after a successful open,
    // and for a store opened for reading whose file is simply missing.
    const std::string& openFailure() const { return openFailure_; }
    const std::filesystem::path& location() const { return file_; }

    // True when a value of this name exists, of any kind (even one that cannot be read).
    bool valueExists(std::string_view name) const;
    // The text; "" when the value is missing or the store unopened; an error for another kind.
    std::string readText(std::string_view name) const;
    // An error when the value is missing, the store unopened, or the value is a text. Integer
    // and boolean are one kind: a boolean reads as 1 or 0, any non-zero integer as true.
    std::int32_t readInteger(std::string_view name) const;
    bool readBoolean(std::string_view name) const;

    // Create or replace the value. An error when the store is unopened or opened for reading.
    void writeText(std::string_view name, std::string_view value);
    void writeInteger(std::string_view name, std::int32_t value);
    void writeBoolean(std::string_view name, bool value);

    // Saves the writes made since opening and leaves the store unopened, even when the save
    // fails (then it throws, naming the first value written, and the file stays as it was).
    void close();

private:
    enum class Access { Unopened, Read, Write };

    explicit SettingsStore(const std::filesystem::path& file) : file_(std::filesystem::absolute(file)) {}
    SettingsDocument loadOrCreate() const;
    const SettingsValue& numberValue(std::string_view name) const;
    void write(std::string_view name, const SettingsValue& value);
    using PendingWrite = std::pair<std::string, SettingsValue>;
    void save(const std::vector<PendingWrite>& pending) const;

    std::filesystem::path file_;
    Access access_ = Access::Unopened;
    SettingsDocument document_;
    std::vector<PendingWrite> pending_; // in the order written
    std::string openFailure_;
};

} // namespace velmora
