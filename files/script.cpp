#include "script.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>

#include "engine/numbers.h"
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

std::vector<ScriptIssue> CheckScript(const ScriptFile& script,
                                     const std::function<bool(const std::string&)>& fileExists)
{
    std::vector<ScriptIssue> issues;
    bool endsItself = false;
    for (size_t n = 1; n <= script.size(); ++n) {
        const ScriptLine line = SplitScriptLine(script.line(n));
        const int number = static_cast<int>(n);
        switch (CommandOf(line.command)) {
        case ScriptCommand::Play:
            if (fileExists && !fileExists(line.tail))
                issues.push_back({number, false, "FILE NOT FOUND: '" + line.tail + "'."});
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
        case ScriptCommand::End: endsItself = true; break;
        case ScriptCommand::Pause:
        case ScriptCommand::Rem: break;
        case ScriptCommand::Invalid:
            issues.push_back({number, true, "Invalid command in line " + std::to_string(n)});
            break;
        }
    }
    // A script that neither ends nor repeats runs into the empty line after its last.
    if (!endsItself) {
        const size_t past = script.size() + 1;
        issues.push_back({static_cast<int>(past), true, "Invalid command in line " + std::to_string(past)});
    }
    return issues;
}

} // namespace velmora
