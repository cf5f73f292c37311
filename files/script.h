#pragma once
// Script files (.zrs): one command per line, split at single spaces into a command (the
// first word, lower-cased), an argument (the second word) and a tail (everything after the
// second space, less one trailing space). Plain C++; any thread; allocates.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct ScriptLine {
    std::string command;  // lower case
    std::string argument; // as written
    std::string tail;     // as written, one trailing space dropped
    friend bool operator==(const ScriptLine&, const ScriptLine&) = default;
};

ScriptLine SplitScriptLine(std::string_view line);

enum class ScriptCommand { Play, Pause, Delay, Repeat, Rem, End, Invalid };
ScriptCommand CommandOf(std::string_view lowerCaseCommand);

// What the script window shows for a line: "Line 3: play 1".
std::string ScriptLabel(int lineNumber, const ScriptLine& line);

// The message of a pause line: its words after the command, or the standard prompt.
std::string PauseText(const ScriptLine& line);

// A whole number as a play line's argument holds it: optional blanks and sign, decimal
// digits, within 32 bits. Throws ScriptNumberError ("'x' is not a valid integer value").
int ScriptStrToInt(std::string_view text);

class ScriptNumberError final : public std::runtime_error {
public:
    explicit ScriptNumberError(std::string_view text);
};

// A script file that cannot be read.
class ScriptFileError final : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The lines of a script, decoded to UTF-8: a file that is valid UTF-8 is read as such
// (without its byte order mark), any other as Windows-1252. Lines end at LF, CR LF or CR.
class ScriptFile final {
public:
    static ScriptFile FromBytes(std::string_view bytes);
    // Throws ScriptFileError when the file cannot be opened or read, or is larger than
    // kMaxBytes (no script is; a device or a wrong file is refused before filling memory).
    static ScriptFile Read(const std::filesystem::path& file);
    static constexpr size_t kMaxBytes = 16u << 20;

    // Line n (1-based); reading past the end gives empty lines.
    const std::string& line(size_t n) const;
    size_t size() const { return lines_.size(); }

private:
    std::vector<std::string> lines_;
};

// Whether a play line's path names an existing file (relative paths from the current folder).
bool ScriptFileExists(const std::string& path);

// The file a play line's path names: the path as written (a relative one from the current
// folder) and, when nothing is there, a relative path beside the script. Empty when
// neither names a file. `exists` answers for one candidate.
std::string FindScriptPreset(const std::string& path, const std::filesystem::path& scriptFolder,
                             const std::function<bool(const std::string&)>& exists = ScriptFileExists);

// What a play line's path leads to.
enum class ScriptPreset {
    Found,        // a preset file the runner loads
    Missing,      // no file: the runner says "FILE NOT FOUND" and goes on
    NotAPreset,   // a file of another kind: the runner stops there
    Obsolete,     // a preset file of the refused oldest format: the runner stops there
    Unreadable,   // a file that cannot be read: the runner stops there
};
// Looks the path up as the runner does (FindScriptPreset) and reads the file's header.
ScriptPreset CheckScriptPreset(const std::string& path, const std::filesystem::path& scriptFolder);

// The checks the runner makes on a line, for an editor to show before the script runs.
struct ScriptIssue {
    int line = 0;
    // false: the runner reports it, or never gets there, and goes on; the run does not end
    // with success (a missing preset file) or the line is never run (after an end).
    bool stops = true;
    std::string text;
};
// Every line the runner would refuse or report, in line order: invalid lines and numbers,
// play lines whose path names no preset file (`preset` answers for the path as written;
// may be empty: paths are not checked), the lines after the first end or repeat, which
// never run, and the line after the last when no line ends or repeats the script.
std::vector<ScriptIssue> CheckScript(const ScriptFile& script,
                                     const std::function<ScriptPreset(const std::string&)>& preset);

} // namespace velmora
