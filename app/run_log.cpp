#include "app/run_log.h"

#include "app/outcome.h"
#include "app/privilege.h"
#include "platform/decimal.h"
#include "platform/file_system.h"
#include "platform/path_text.h"
#include "platform/session.h"
#include "platform/system_error.h"
#include "registry/RegEditor.h"
#include "resources/resource_access.h"
#include "resources/resource_ids.h"

namespace app {
namespace {

// Appends a value as the line shows it: each control character (which would
// break the line or hide in it) as a space, "-" for nothing.
void AppendValue(std::u16string& line, std::u16string_view value) {
    if (value.empty()) line += u'-';
    for (const char16_t c : value) line += c < 0x20 || c == 0x7F ? u' ' : c;
}

// Appends "\t<key>=".
void Key(std::u16string& line, const char16_t* key) {
    line += u'\t';
    line += key;
    line += u'=';
}

// Appends "\t<key>=<value>".
void Field(std::u16string& line, const char16_t* key, std::u16string_view value) {
    Key(line, key);
    AppendValue(line, value);
}

// Appends "\t<key>=<number>".
void NumberField(std::u16string& line, const char16_t* key, std::uint32_t number) {
    Key(line, key);
    platform::AppendDecimal(line, number);
}

// A registry value as read, nothing where the registry could not give it.
std::u16string_view Given(const std::u16string& value) {
    return value == registry::kReadFailed ? std::u16string_view() : value;
}

// The log's folder for a privileged run (AppendRunLog says how).
platform::Status OpenLogFolder(const std::u16string& path, platform::UniqueFile& folder) {
    using platform::IsSeparator;
    constexpr platform::Step step = platform::Step::Write;
    if (platform::HasDriveRoot(path) && path[2] == u'\\')
        return platform::OpenFolder(path, platform::Links::Refuse, folder);
    const bool share = path.size() > 2 && IsSeparator(path[0]) && IsSeparator(path[1]) && path[2] != u'?' &&
                       path[2] != u'.' && !IsSeparator(path[2]);
    if (!share) return platform::Error(step, platform::kErrorInvalidName);
    platform::UniqueFile opened;
    const platform::Status status = platform::OpenFolder(path, platform::Links::Follow, opened);
    if (!status.ok()) return status;
    const platform::Result<std::u16string> reached = platform::FinalPath(opened);
    if (!reached.ok()) return reached.error();
    const std::u16string& where = reached.value();
    const platform::Result<bool> local = platform::IsOnLocalFixedDrive(opened);
    if (!local.ok()) return local.error();
    if (where.size() < 3 || !IsSeparator(where[0]) || !IsSeparator(where[1]) || local.value())
        return platform::Error(step, platform::kErrorReparsePointEncountered);
    folder = std::move(opened);
    return platform::Ok();
}

}  // namespace

std::vector<char> Utf8(const std::u16string& text) {
    std::vector<char> out(3 * text.size());  // a code unit makes at most three bytes, a pair four
    std::size_t n = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xE000) {
            // A pair makes one character beyond the BMP; half of one is none.
            if (c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
                c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
            else
                c = 0xFFFD;
        }
        if (c < 0x80) {
            out[n++] = static_cast<char>(c);
            continue;
        }
        const int extra = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        constexpr unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
        out[n++] = static_cast<char>(kLead[extra] | (c >> (6 * extra)));
        for (int shift = 6 * (extra - 1); shift >= 0; shift -= 6)
            out[n++] = static_cast<char>(0x80 | ((c >> shift) & 0x3F));
    }
    out.erase(out.begin() + static_cast<std::ptrdiff_t>(n), out.end());
    return out;
}

const char16_t* StepName(platform::Step step) {
    using platform::Step;
    static constexpr struct {
        Step step;
        const char16_t* name;
    } kNames[] = {{resources::kStepLoadResource, u"load-resource"},
                  {registry::kStepReadRegistry, u"read-registry"},
                  {Step::FindDataFile, u"find-data-file"},
                  {Step::CreateTemporary, u"create-temporary"},
                  {Step::Write, u"write"},
                  {Step::Flush, u"flush"},
                  {Step::CopyAttributes, u"copy-attributes"},
                  {Step::Rename, u"rename"},
                  {Step::Verify, u"verify"},
                  {kStepElevate, u"elevate"},
                  {kStepVirtualStore, u"virtual-store"},
                  {registry::kStepWriteRegistry, u"write-registry"}};
    for (const auto& entry : kNames)
        if (entry.step == step) return entry.name;
    return u"?";
}

std::u16string RunLogLine(const UpdateReport& report, const std::u16string& versionAfter) {
    const platform::Result<std::u16string> version = resources::LoadStringResource(IDS_DATA_VERSION);
    std::u16string line;
    AppendValue(line, platform::UtcTimestamp());
    line += u"\tUpDate ";
    AppendValue(line, version.ok() ? std::u16string_view(version.value()) : u"?");
    Field(line, u"user", platform::UserName());
    Field(line, u"outcome", RowOf(report.outcome).logWord);
    NumberField(line, u"exit", ExitCodeOf(report));
    const platform::Error* failure = report.failure ? &*report.failure : nullptr;
    Field(line, u"step", failure ? StepName(failure->step()) : u"-");
    NumberField(line, u"error", failure ? failure->code() : 0);
    Field(line, u"error-text", failure ? platform::SystemErrorText(failure->code()) : std::u16string());
    Field(line, u"file", report.dataFile);
    Field(line, kVersionValue, Given(report.recordedVersion ? *report.recordedVersion : versionAfter));
    line += u"->";
    AppendValue(line, Given(versionAfter));
    Field(line, u"tolvar-window", report.targetWindowOpen ? u"open" : u"closed");
    if (report.elevatedCopyExitCode)
        NumberField(line, u"elevated-copy", *report.elevatedCopyExitCode);
    else
        Field(line, u"elevated-copy", u"-");
    const platform::Result<bool> localSystem = platform::RunningAsLocalSystem(kStepElevate);
    if (localSystem.ok() && localSystem.value())
        Field(line, u"note",
              u"ran as LocalSystem, whose HKEY_CURRENT_USER holds no user's Tolvar settings: run it in the "
              u"signed-in user's context");
    line += u"\r\n";
    return line;
}

platform::Status AppendRunLog(const std::u16string& logFile, const UpdateReport& report) {
    const platform::Result<std::u16string> after = registry::ReadStringValue(kProductKeyPath, kVersionValue);
    const std::vector<char> line = Utf8(RunLogLine(report, after.ok() ? after.value() : std::u16string()));
    if (!RunsPrivileged()) return platform::AppendToFile(logFile, line);
    platform::UniqueFile folder;
    const platform::Status opened = OpenLogFolder(platform::FolderOf(logFile), folder);
    if (!opened.ok()) return opened;
    return platform::AppendInFolder(folder, logFile.substr(platform::LastPartAt(logFile)), line);
}

}  // namespace app
