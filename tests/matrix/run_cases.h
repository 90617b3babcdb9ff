// The update run's outcomes, one table for every suite that makes whole runs:
// the native tests over the stand-ins, the Windows tests over Wine's registry
// and files, and the end-to-end tests through the window. Each row says how
// the registry and the installation are left before the run and what must
// follow; each suite makes the row in its own world and checks the box, the
// exit code (the log's exit=, or the quiet run's own), the data file and
// "VerTOL".
#pragma once

#include <cstdint>

#include "tests/matrix/expected.h"
#include "tests/matrix/fault_matrix.h"

namespace matrix {

// The data file as a row leaves it in the installation folder.
enum class DataFile { None, Plain, Archive, Hidden, System, ReadOnly, HeldOpen, Folder };

struct RunCase {
    const char* name;
    const char* pathTol;  // "%F" stands for the installation folder; null: no value (or no key)
    const char* verTol;   // null: no value
    DataFile data;
    Outcome outcome;
    std::uint32_t exitCode;        // what a deployment tool gets (a Windows error code)
    const char* verTolAfter;       // null: still absent
    const char* below = "Tolvar";  // the installation folder, below the row's own folder
    bool key = true;               // false: no Software\Qd key at all
};

// Where "PathTOL" leads nowhere (no key, no value, an empty value) a suite
// puts a data file where a careless run would look, Error.\unit.xml in the
// current folder and \unit.xml at the root of its drive, and checks it stays.
inline bool LeadsNowhere(const RunCase& c) { return !c.key || !c.pathTol || !*c.pathTol; }

inline const RunCase kRunCases[] = {
    {"Installs", "%F", "7.0.7", DataFile::Plain, Outcome::Installed, 0, EXPECTED_DATA_VERSION},
    {"TrailingBackslash", "%F\\", "7.0.7", DataFile::Archive, Outcome::Installed, 0, EXPECTED_DATA_VERSION},
    {"FolderNameWithSpaces", "%F", "7.0.7", DataFile::Plain, Outcome::Installed, 0, EXPECTED_DATA_VERSION,
     "Program Files\\Tolvar 7"},
    // Versions compare as text, code unit by code unit, a proper prefix first.
    {"TenBeforeEight", "%F", "7.0.10", DataFile::Plain, Outcome::Installed, 0, EXPECTED_DATA_VERSION},
    {"PrefixIsOlder", "%F", "7.0", DataFile::Plain, Outcome::Installed, 0, EXPECTED_DATA_VERSION},
    {"SameVersion", "%F", EXPECTED_DATA_VERSION, DataFile::Plain, Outcome::AlreadyUpdated, 0, EXPECTED_DATA_VERSION},
    {"NewerVersion", "%F", "7.1", DataFile::Plain, Outcome::AlreadyUpdated, 0, "7.1"},
    {"LowerCaseSortsAfterDigits", "%F", "a", DataFile::Plain, Outcome::AlreadyUpdated, 0, "a"},
    // A missing "VerTOL" reads as "Error.", which sorts after any version.
    {"NoVersionValue", "%F", nullptr, DataFile::Plain, Outcome::AlreadyUpdated, 0, nullptr},
    {"NoDataFile", "%F", "7.0.7", DataFile::None, Outcome::NoUpdateNeeded, 1642, "7.0.7"},
    {"HiddenDataFile", "%F", "7.0.7", DataFile::Hidden, Outcome::NoUpdateNeeded, 1642, "7.0.7"},
    {"SystemDataFile", "%F", "7.0.7", DataFile::System, Outcome::NoUpdateNeeded, 1642, "7.0.7"},
    {"DataFileIsAFolder", "%F", "7.0.7", DataFile::Folder, Outcome::NoUpdateNeeded, 1642, "7.0.7"},
    {"ReadOnlyDataFile", "%F", "7.0.7", DataFile::ReadOnly, Outcome::Failed, 5, "7.0.7"},
    {"DataFileHeldOpen", "%F", "7.0.7", DataFile::HeldOpen, Outcome::Failed, 32, "7.0.7"},
    {"FolderMissing", "%F\\missing", "7.0.7", DataFile::Plain, Outcome::NoUpdateNeeded, 1642, "7.0.7"},
    {"MalformedFolder", "%F\\a*b", "7.0.7", DataFile::Plain, Outcome::Failed, 123, "7.0.7"},
    // No installation recorded: nothing to update, and nothing looked at.
    {"NoFolderValue", nullptr, "7.0.7", DataFile::Plain, Outcome::NoUpdateNeeded, 1642, "7.0.7"},
    {"EmptyFolderValue", "", "7.0.7", DataFile::Plain, Outcome::NoUpdateNeeded, 1642, "7.0.7"},
    {"NoKey", nullptr, nullptr, DataFile::Plain, Outcome::NoUpdateNeeded, 1642, nullptr, "Tolvar", false},
};

// The attributes a row gives the data file, as Windows numbers them; 0 for
// a plain one (which Windows writes as FILE_ATTRIBUTE_NORMAL).
inline std::uint32_t AttributesOf(DataFile data) {
    switch (data) {
        case DataFile::Archive: return 0x20;   // FILE_ATTRIBUTE_ARCHIVE
        case DataFile::Hidden: return 0x2;     // FILE_ATTRIBUTE_HIDDEN
        case DataFile::System: return 0x4;     // FILE_ATTRIBUTE_SYSTEM
        case DataFile::ReadOnly: return 0x1;   // FILE_ATTRIBUTE_READONLY
        default: return 0;
    }
}

// The same as a Win32 call takes them, where none is FILE_ATTRIBUTE_NORMAL.
inline std::uint32_t Win32AttributesOf(DataFile data) {
    const std::uint32_t attributes = AttributesOf(data);
    return attributes != 0 ? attributes : 0x80;
}

// Whether the outcome's box informs (the information icon) rather than warns.
inline bool Informs(Outcome outcome) { return outcome == Outcome::AlreadyUpdated || outcome == Outcome::Installed; }

// "PathTOL" of a row, with "%F" replaced by `folder` (in the same encoding).
template <class Text>
Text ExpandPathTol(const char* pathTol, const Text& folder) {
    Text out;
    for (const char* c = pathTol; *c; ++c) {
        if (c[0] == '%' && c[1] == 'F') {
            out += folder;
            ++c;
        } else {
            out += static_cast<typename Text::value_type>(*c);
        }
    }
    return out;
}

}  // namespace matrix
