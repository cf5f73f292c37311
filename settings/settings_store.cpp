#include "settings/settings_store.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <system_error>

#include <pwd.h>
#include <unistd.h>

#include "settings/atomic_file.h"

namespace velmora {
namespace {

std::string quotedName(std::string_view name) { return "'" + std::string(name) + "'"; }

[[noreturn]] void failGet(std::string_view name)
{
    throw SettingsError(std::string(name), "Failed to get data for " + quotedName(name));
}

[[noreturn]] void failType(std::string_view name)
{
    throw SettingsError(std::string(name), "Invalid data type for " + quotedName(name));
}

// One line on stderr for the first store of this process that cannot be read: several
// stores open the same file in one start, and one warning says it all.
void warnUnreadable(const std::system_error& e)
{
    static bool warned = false;
    if (warned)
        return;
    warned = true;
    std::string line = "velmora: the settings store is not used (";
    for (const char c : std::string_view(e.what()))
        line += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c;
    line += "); defaults apply\n";
    std::fputs(line.c_str(), stderr);
}

std::filesystem::path homeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir)
        return user->pw_dir;
    return "/";
}

} // namespace

std::filesystem::path SettingsStore::defaultLocation()
{
    std::filesystem::path config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && std::filesystem::path(xdg).is_absolute())
        config = xdg;
    else
        config = homeFolder() / ".config";
    return config / "Karvell" / "Velmora.conf";
}

SettingsStore SettingsStore::openForReading(const std::filesystem::path& file)
{
    SettingsStore store(file);
    try {
        if (const auto contents = detail::readWholeFile(store.file_)) {
            store.document_ = SettingsDocument::parse(*contents);
            store.access_ = Access::Read;
        }
    } catch (const std::system_error& e) {
        // Unreadable counts as absent: the caller falls back to its defaults.
        warnUnreadable(e);
        store.openFailure_ = e.what();
    }
    return store;
}

SettingsStore SettingsStore::openForWriting(const std::filesystem::path& file)
{
    SettingsStore store(file);
    try {
        std::filesystem::create_directories(store.file_.parent_path());
        const detail::FolderLock lock(store.file_.parent_path());
        store.document_ = store.loadOrCreate();
        store.access_ = Access::Write;
    } catch (const std::system_error& e) {
        // Stays unopened; the first write reports it, naming its value.
        warnUnreadable(e);
        store.openFailure_ = e.what();
    }
    return store;
}

SettingsDocument SettingsStore::loadOrCreate() const
{
    if (const auto contents = detail::readWholeFile(file_))
        return SettingsDocument::parse(*contents);
    // The caller holds the folder lock, so a store that another window has just created is
    // read here, never replaced by an empty one.
    SettingsDocument fresh = SettingsDocument::fresh();
    detail::replaceFileAtomically(file_, fresh.format());
    return fresh;
}

SettingsStore::SettingsStore(SettingsStore&& other) noexcept
    : file_(std::move(other.file_)),
      access_(std::exchange(other.access_, Access::Unopened)),
      document_(std::move(other.document_)),
      pending_(std::move(other.pending_)),
      openFailure_(std::move(other.openFailure_))
{
}

SettingsStore& SettingsStore::operator=(SettingsStore&& other) noexcept
{
    if (this != &other) {
        try {
            close();
        } catch (const SettingsError&) {
        }
        file_ = std::move(other.file_);
        access_ = std::exchange(other.access_, Access::Unopened);
        document_ = std::move(other.document_);
        pending_ = std::move(other.pending_);
        openFailure_ = std::move(other.openFailure_);
    }
    return *this;
}

SettingsStore::~SettingsStore()
{
    try {
        close();
    } catch (const SettingsError&) {
    }
}

bool SettingsStore::valueExists(std::string_view name) const
{
    return isOpen() && document_.find(name) != nullptr;
}

std::string SettingsStore::readText(std::string_view name) const
{
    const SettingsValue* value = isOpen() ? document_.find(name) : nullptr;
    if (!value)
        return {};
    if (value->kind != SettingsValue::Kind::Text)
        failType(name);
    return value->text;
}

const SettingsValue& SettingsStore::numberValue(std::string_view name) const
{
    const SettingsValue* value = isOpen() ? document_.find(name) : nullptr;
    if (!value)
        failGet(name);
    if (value->kind != SettingsValue::Kind::Integer && value->kind != SettingsValue::Kind::Boolean)
        failType(name);
    return *value;
}

std::int32_t SettingsStore::readInteger(std::string_view name) const { return numberValue(name).number; }

bool SettingsStore::readBoolean(std::string_view name) const { return numberValue(name).number != 0; }

void SettingsStore::writeText(std::string_view name, std::string_view value)
{
    write(name, SettingsValue::ofText(value));
}

void SettingsStore::writeInteger(std::string_view name, std::int32_t value)
{
    write(name, SettingsValue::ofInteger(value));
}

void SettingsStore::writeBoolean(std::string_view name, bool value)
{
    write(name, SettingsValue::ofBoolean(value));
}

void SettingsStore::write(std::string_view name, const SettingsValue& value)
{
    if (access_ != Access::Write)
        throw SettingsError(std::string(name), "Failed to set data for " + quotedName(name));
    if (!SettingsDocument::isValidName(name))
        throw SettingsError(std::string(name), "Invalid value name " + quotedName(name));
    document_.set(name, value);
    pending_.emplace_back(name, value);
}

void SettingsStore::close()
{
    const bool mustSave = access_ == Access::Write && !pending_.empty();
    access_ = Access::Unopened;
    document_ = {};
    const auto pending = std::exchange(pending_, {});
    if (mustSave)
        save(pending);
}

void SettingsStore::save(const std::vector<PendingWrite>& pending) const
{
    try {
        // Re-read under the lock, so values another window saved since opening are kept.
        const detail::FolderLock lock(file_.parent_path());
        detail::removeStaleTemporaries(file_);
        SettingsDocument latest = loadOrCreate();
        for (const auto& [name, value] : pending)
            latest.set(name, value);
        detail::replaceFileAtomically(file_, latest.format());
    } catch (const std::system_error& e) {
        const std::string& first = pending.front().first;
        const auto others = pending.size() - 1;
        throw SettingsError(first, "Failed to set data for " + quotedName(first) +
                                       (others ? " and " + std::to_string(others) + " more" : std::string()) +
                                       ": " + e.what());
    }
}

} // namespace velmora
