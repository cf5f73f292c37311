#include "script.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>

#include "engine/numbers.h"
#include "preset_file.h"
#include "windows1252.h"

namespace velmora {

ScriptLine SplitScriptLine(std::string_view line)
{
    ScriptLine out;
    const size_t first = line.find(' ');
    std::string_view command = line.substr(0, first);
    out.command.reserve(command.size());
    for (char c : command) out.command += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    if (first == std::string_view::npos) return out;
    const std::string_view rest = line.substr(first + 1);
    const size_t second = rest.find(' ');
    out.argument = std::string(rest.substr(0, second));
    if (second == std::string_view::npos) return out;
    std::string_view tail = rest.substr(second + 1);
    if (tail.ends_with(' ')) tail.remove_suffix(1);
    out.tail = std::string(tail);
    return out;
}

ScriptCommand CommandOf(std::string_view c)
{
    if (c == "play") return ScriptCommand::Play;
    if (c == "pause") return ScriptCommand::Pause;
    if (c == "delay") return ScriptCommand::Delay;
    if (c == "repeat") return ScriptCommand::Repeat;
    if (c == "rem") return ScriptCommand::Rem;
    if (c == "end") return ScriptCommand::End;
    return ScriptCommand::Invalid;
}

std::string ScriptLabel(int lineNumber, const ScriptLine& line)
{
    return "Line " + std::to_string(lineNumber) + ": " + line.command + " " + line.argument;
}

std::string PauseText(const ScriptLine& line)
{
    if (line.argument.empty()) return "Pause in script. Press OK to continue";
    return line.argument + " " + line.tail;
}

ScriptNumberError::ScriptNumberError(std::string_view text)
    : std::runtime_error("'" + std::string(text) + "' is not a valid integer value")
{
}

int ScriptStrToInt(std::string_view text)
{
    std::string_view t = text;
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
    bool negative = false;
    if (!t.empty() && (t.front() == '+' || t.front() == '-')) {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    if (t.empty()) throw ScriptNumberError(text);
    int64_t value = 0;
    for (char c : t) {
        if (c < '0' || c > '9') throw ScriptNumberError(text);
        value = value * 10 + (c - '0');
        if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) throw ScriptNumberError(text);
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int32_t>::max()) throw ScriptNumberError(text);
    return static_cast<int>(value);
}

ScriptFile ScriptFile::FromBytes(std::string_view bytes)
{
    const std::string text = TextFileToUtf8(bytes);
    ScriptFile f;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            f.lines_.push_back(text.substr(start));
            break;
        }
        f.lines_.push_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
    }
    return f;
}

ScriptFile ScriptFile::Read(const std::filesystem::path& file)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw ScriptFileError("Cannot open file \"" + file.string() + "\". " + std::strerror(errno));
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            throw ScriptFileError("Cannot read file \"" + file.string() + "\". " + std::strerror(error));
        }
        if (n == 0) break;
        if (bytes.size() + static_cast<size_t>(n) > kMaxBytes) {
            ::close(fd);
            throw ScriptFileError("The script file \"" + file.string() + "\" is larger than " +
                                  std::to_string(kMaxBytes >> 20) + " MiB.");
        }
        bytes.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return FromBytes(bytes);
}

const std::string& ScriptFile::line(size_t n) const
{
    static const std::string empty;
    return n >= 1 && n <= lines_.size() ? lines_[n - 1] : empty;
}

bool ScriptFileExists(const std::string& path)
{
    if (path.empty()) return false;
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

std::string FindScriptPreset(const std::string& path, const std::filesystem::path& scriptFolder,
                             const std::function<bool(const std::string&)>& exists)
{
    if (path.empty()) return {};
    if (exists(path)) return path;
    const std::filesystem::path written(path);
    if (written.is_relative() && !scriptFolder.empty()) {
        const std::string beside = (scriptFolder / written).string();
        if (exists(beside)) return beside;
    }
    return {};
}

ScriptPreset CheckScriptPreset(const std::string& path, const std::filesystem::path& scriptFolder)
{
    const std::string file = FindScriptPreset(path, scriptFolder);
    if (file.empty()) return ScriptPreset::Missing;
    try {
        switch (PresetFileKindOf(ReadPresetFileBytes(file))) {
        case PresetFileKind::Current:
        case PresetFileKind::Old36: return ScriptPreset::Found;
        case PresetFileKind::Obsolete: return ScriptPreset::Obsolete;
        case PresetFileKind::Unknown: return ScriptPreset::NotAPreset;
        }
    } catch (const PresetFileError&) {
        return ScriptPreset::Unreadable;
    }
    return ScriptPreset::NotAPreset;
}

std::vector<ScriptIssue> CheckScript(const ScriptFile& script,
                                     const std::function<ScriptPreset(const std::string&)>& preset)
{
    std::vector<ScriptIssue> issues;
    size_t endsAt = 0; // the first end or repeat line: nothing after it runs
    for (size_t n = 1; n <= script.size() && endsAt == 0; ++n) {
        const ScriptLine line = SplitScriptLine(script.line(n));
        const int number = static_cast<int>(n);
        switch (CommandOf(line.command)) {
        case ScriptCommand::Play:
            switch (preset ? preset(line.tail) : ScriptPreset::Found) {
            case ScriptPreset::Found: break;
            case ScriptPreset::Missing:
                issues.push_back({number, false, "FILE NOT FOUND: '" + line.tail + "'."});
                break;
            case ScriptPreset::NotAPreset:
                issues.push_back({number, true, "'" + line.tail + "' is not a preset file"});
                break;
            case ScriptPreset::Obsolete:
                issues.push_back({number, true, "'" + line.tail + "': Obsolete file format, sorry."});
                break;
            case ScriptPreset::Unreadable:
                issues.push_back({number, true, "'" + line.tail + "' cannot be read"});
                break;
            }
            try {
                const int memory = ScriptStrToInt(line.argument);
                if (memory < 1 || memory > 4)
                    issues.push_back({number, true, "Invalid preset number in line " + std::to_string(n)});
            } catch (const ScriptNumberError& e) {
                issues.push_back({number, true, e.what()});
            }
            break;
        case ScriptCommand::Delay: {
            double seconds;
            if (!TryIntlStrToFloat(line.argument, seconds))
                issues.push_back({number, true, "'" + line.argument + "' is not a valid floating point value"});
            break;
        }
        case ScriptCommand::Repeat:
        case ScriptCommand::End: endsAt = n; break;
        case ScriptCommand::Pause:
        case ScriptCommand::Rem: break;
        case ScriptCommand::Invalid:
            issues.push_back({number, true, "Invalid command in line " + std::to_string(n)});
            break;
        }
    }
    if (endsAt == 0) {
        // A script that neither ends nor repeats runs into the empty line after its last.
        const size_t past = script.size() + 1;
        issues.push_back({static_cast<int>(past), true, "Invalid command in line " + std::to_string(past)});
        return issues;
    }
    // Lines after the end are never run (blank lines at the very end are no news).
    size_t last = script.size();
    while (last > endsAt && script.line(last).empty()) --last;
    if (last > endsAt) {
        const std::string range = last == endsAt + 1 ? "Line " + std::to_string(last)
                                                      : "Lines " + std::to_string(endsAt + 1) + " to " + std::to_string(last);
        const std::string verb = last == endsAt + 1 ? " is" : " are";
        const std::string what = CommandOf(SplitScriptLine(script.line(endsAt)).command) == ScriptCommand::End
                                     ? "ends the script"
                                     : "repeats the script";
        issues.push_back({static_cast<int>(endsAt + 1), false,
                          range + verb + " never run: line " + std::to_string(endsAt) + " " + what});
    }
    return issues;
}

} // namespace velmora
