#pragma once
// The four preset memories and the operations on them: store the generator's current
// settings into a memory, recall a memory through the generator's control setters and
// handlers (so the window, scripts, the headless renderer and remote messages share one
// order of events), rename, load and save preset files. The window shows the names on its
// buttons through PresetHooks::nameChanged.
//
// Window thread only (or the renderer's one thread): recalls run the generator's handlers.

#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "engine/generator.h"
#include "files/preset_file.h"
#include "files/preset_slot.h"

namespace velmora {

inline constexpr std::string_view kObsoleteFormatText = "Obsolete file format, sorry.";
inline constexpr std::string_view kImportNoticeText =
    "This file format is old, it will be imported but some information is missing. "
    "Please store again in the current format";

// Copies the current settings into the record; its name and not-significant bytes stay.
void MemStore(const Generator& generator, PresetSlot& record);

// Sets the controls from the record and runs their handlers in the recall's order: stops
// the output, then the left channel, the right channel, duration, repeat, layout, ticks,
// modulation, levels, frequencies, crest factors, "Same as Left". Does not start the
// generator (PresetBank::MemRecall does that when autostart is on). A list index outside
// its list is taken as the nearest entry, or as no selection where the list's handler
// copes with none. Handler errors (ConversionError, ArithmeticError) propagate and end
// the recall where they occur.
void MemRecall(Generator& generator, const PresetSlot& record);

// The same for a record of the older layout, up to the frequencies: no crest factors, no
// "Same as Left".
void MemRecall36(Generator& generator, const PresetSlot& record);

// A memory number outside 1..4.
class PresetNumberError final : public std::out_of_range {
public:
    explicit PresetNumberError(int n);
    int number;
};

// What the bank asks of its surroundings. Every member may be left empty.
struct PresetHooks {
    std::function<void()> startsignal;                  // autostart after a recall
    std::function<void(int)> nameChanged;               // memory n's name changed
    std::function<void(std::string_view)> notice;       // the import notice, the V3.2 refusal
};

enum class PresetLoad {
    Loaded,    // four records in the current format; the controls are untouched
    Imported,  // an older file: each record recalled and stored again; memory 4 stays shown
    Obsolete,  // refused ("Obsolete file format, sorry." went to hooks.notice)
    Ignored,   // not a preset file: nothing happened, nothing was said
};

class PresetBank final {
public:
    explicit PresetBank(Generator& generator) : generator_(generator) {}

    PresetHooks hooks;
    bool autostart = false; // "Autostart Recalled Presets"

    static bool validNumber(int n) { return n >= 1 && n <= kPresetCount; }
    // Memory n (1..4); throws PresetNumberError.
    PresetSlot& memory(int n);
    const PresetSlot& memory(int n) const;
    const PresetRecords& records() const { return records_; }
    std::string name(int n) const { return memory(n).name(); }

    void MemStore(int n);
    // MemRecall, then startsignal when autostart is on.
    void MemRecall(int n);
    // Sets memory n's name (cut to 255 bytes in the file's code page).
    void rename(int n, std::string_view name);
    // The start-up fill: every memory stored from the current settings and named
    // "Memory 1" ... "Memory 4".
    void storeAllFromCurrent();

    // Loads a preset file of any known format into the memories. Throws PresetFileError
    // (cannot be read, incomplete) with the memories unchanged.
    PresetLoad LoadSettings(const std::filesystem::path& file);
    // The same for a file already read (ReadPresetFile / ParsePresetFile).
    PresetLoad load(const PresetFileContents& contents);
    // Writes the four memories in the current format, replacing the file atomically.
    // Throws PresetFileError; the memories are unchanged either way.
    void save(const std::filesystem::path& file) const { WritePresetFile(file, records_); }

    // Replaces all four records at once (a file read elsewhere), naming each anew.
    void replaceAll(const PresetRecords& records);

private:
    void named(int n);
    Generator& generator_;
    PresetRecords records_{};
};

} // namespace velmora
