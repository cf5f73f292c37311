#include "settings/settings_document.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace velmora {
namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view trim(std::string_view s)
{
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(kBlanks);
    return s.substr(first, last - first + 1);
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool sameName(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

std::optional<std::int32_t> parseInteger(std::string_view s)
{
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    std::int32_t v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return v;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    c = lowerAscii(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// A quoted text, with nothing after the closing quote.
std::optional<std::string> parseQuoted(std::string_view s)
{
    if (s.size() < 2 || s.front() != '"' || s.back() != '"')
        return std::nullopt;
    s = s.substr(1, s.size() - 2);
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"')
            return std::nullopt;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i == s.size())
            return std::nullopt;
        switch (s[i]) {
        case '\\': out += '\\'; break;
        case '"': out += '"'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'x': {
            if (i + 2 >= s.size())
                return std::nullopt;
            const int hi = hexDigit(s[i + 1]);
            const int lo = hexDigit(s[i + 2]);
            if (hi < 0 || lo < 0)
                return std::nullopt;
            out += char(hi * 16 + lo);
            i += 2;
            break;
        }
        default: return std::nullopt;
        }
    }
    return out;
}

std::string quoted(std::string_view s)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (const char c : s) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
                out += "\\x";
                out += kHex[static_cast<unsigned char>(c) >> 4];
                out += kHex[static_cast<unsigned char>(c) & 15];
            } else {
                out += c;
            }
        }
    }
    out += '"';
    return out;
}

SettingsValue parseValue(std::string_view rest)
{
    const auto kindEnd = std::min(rest.find_first_of(kBlanks), rest.size());
    std::string kind(rest.substr(0, kindEnd));
    std::transform(kind.begin(), kind.end(), kind.begin(), lowerAscii);
    const std::string_view data = trim(rest.substr(kindEnd));
    SettingsValue unreadable{SettingsValue::Kind::Unreadable, {}, 0};

    if (kind == "text") {
        if (data.empty() || data.front() != '"')
            return SettingsValue::ofText(data); // typed by hand without quotes
        const auto text = parseQuoted(data);
        return text ? SettingsValue::ofText(*text) : unreadable;
    }
    if (kind == "integer") {
        const auto v = parseInteger(data);
        return v ? SettingsValue::ofInteger(*v) : unreadable;
    }
    if (kind == "boolean") {
        std::string word(data);
        std::transform(word.begin(), word.end(), word.begin(), lowerAscii);
        if (word == "true") return SettingsValue::ofBoolean(true);
        if (word == "false") return SettingsValue::ofBoolean(false);
        const auto v = parseInteger(data);
        return v ? SettingsValue{SettingsValue::Kind::Boolean, {}, *v} : unreadable;
    }
    return unreadable;
}

} // namespace

SettingsDocument SettingsDocument::fresh()
{
    return parse("# Velmora settings, one value a line:  Name = text \"...\" | integer 123 | boolean true\n"
                 "# Names match without regard to case. Lines starting with # are comments.\n");
}

SettingsDocument SettingsDocument::parse(std::string_view contents)
{
    SettingsDocument doc;
    while (!contents.empty()) {
        const auto end = std::min(contents.find('\n'), contents.size());
        // The line is kept as it stands, carriage returns included, so that a save writes
        // back byte for byte what the program did not change; only its reading ignores a
        // final CR.
        const std::string_view raw = contents.substr(0, end);
        contents.remove_prefix(std::min(end + 1, contents.size()));
        std::string_view text = raw;
        if (!text.empty() && text.back() == '\r')
            text.remove_suffix(1);

        Line line{std::string(raw), {}, {}};
        const std::string_view body = trim(text);
        const auto eq = body.find('=');
        if (!body.empty() && body.front() != '#' && body.front() != ';' && eq != std::string_view::npos) {
            line.name = trim(body.substr(0, eq));
            if (!line.name.empty())
                line.value = parseValue(trim(body.substr(eq + 1)));
        }
        doc.lines_.push_back(std::move(line));
    }
    return doc;
}

std::string SettingsDocument::format() const
{
    std::string out;
    for (const Line& line : lines_) {
        out += line.raw;
        out += '\n';
    }
    return out;
}

const SettingsValue* SettingsDocument::find(std::string_view name) const
{
    const auto it = std::find_if(lines_.rbegin(), lines_.rend(), [&](const Line& line) {
        return !line.name.empty() && sameName(line.name, name);
    });
    return it == lines_.rend() ? nullptr : &it->value;
}

void SettingsDocument::set(std::string_view name, const SettingsValue& value)
{
    const auto matches = [&](const Line& line) { return !line.name.empty() && sameName(line.name, name); };
    std::size_t keep = lines_.size();
    while (keep > 0 && !matches(lines_[keep - 1]))
        --keep;
    if (keep == 0) {
        lines_.push_back(valueLine(name, value));
        return;
    }
    lines_[--keep] = valueLine(name, value);
    std::size_t index = 0;
    std::erase_if(lines_, [&](const Line& line) { return index++ < keep && matches(line); });
}

bool SettingsDocument::isValidName(std::string_view name)
{
    if (name.empty() || trim(name) != name || name.front() == '#' || name.front() == ';')
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        return c == '=' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
    });
}

SettingsDocument::Line SettingsDocument::valueLine(std::string_view name, const SettingsValue& value)
{
    std::string raw(name);
    switch (value.kind) {
    case SettingsValue::Kind::Text: raw += " = text " + quoted(value.text); break;
    case SettingsValue::Kind::Integer: raw += " = integer " + std::to_string(value.number); break;
    case SettingsValue::Kind::Boolean: raw += value.number != 0 ? " = boolean true" : " = boolean false"; break;
    case SettingsValue::Kind::Unreadable: break; // never written: only parsing makes one
    }
    return {std::move(raw), std::string(name), value};
}

} // namespace velmora
