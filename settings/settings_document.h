#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// One stored value with its kind. A line that names a value but whose kind or data cannot be
// read is kept as Unreadable: the value exists, but reading it is an error.
struct SettingsValue {
    enum class Kind { Text, Integer, Boolean, Unreadable };

    Kind kind = Kind::Text;
    std::string text;        // Text
    std::int32_t number = 0; // Integer; Boolean as 1 or 0

    static SettingsValue ofText(std::string_view v) { return {Kind::Text, std::string(v), 0}; }
    static SettingsValue ofInteger(std::int32_t v) { return {Kind::Integer, {}, v}; }
    static SettingsValue ofBoolean(bool v) { return {Kind::Boolean, {}, v ? 1 : 0}; }
};

// The settings file as lines: values, and everything else (comments, blank lines, lines a
// person mistyped) kept verbatim so that saving never destroys a hand edit. The format:
//
//     # comment
//     Duration = text "10"
//     FormX = integer -4
//     Loop = boolean true
//
// Names match without regard to (ASCII) case. Texts are quoted with the escapes \" \\ \n \r
// \t \xHH; an unquoted text is taken as it stands, trimmed. A boolean may also be written as
// an integer (non-zero is true). Plain data; any thread; every operation may allocate.
class SettingsDocument final {
public:
    // The contents of a store file that has just been created.
    static SettingsDocument fresh();
    static SettingsDocument parse(std::string_view contents);
    std::string format() const;

    // nullptr when no value has this name. When a name appears twice, the later line counts.
    const SettingsValue* find(std::string_view name) const;
    // Replaces the value in its line, or appends a line; earlier lines of the same name go.
    void set(std::string_view name, const SettingsValue& value);

    // Whether a name can be written as one line and read back as the same name.
    static bool isValidName(std::string_view name);

private:
    struct Line {
        std::string raw;  // the line as it stands in the file, without its line end
        std::string name; // empty for comments, blank and unnamed lines
        SettingsValue value;
    };

    static Line valueLine(std::string_view name, const SettingsValue& value);

    std::vector<Line> lines_;
};

} // namespace velmora
