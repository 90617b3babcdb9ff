#include "tests/matrix/fault_matrix.h"
#include "tests/matrix/expected.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace matrix {
namespace {

std::string Utf8(const std::u16string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Printable in a log cell: control characters and the tab as \xNN, and
// bytes above 0x7F too unless the text is UTF-8 (registry bytes are ANSI).
std::string Cell(const std::string& text, bool utf8 = true) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7F || (!utf8 && c > 0x7F)) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string Describe(const std::optional<Bytes>& data, const std::optional<Bytes>& before, const Bytes& payload) {
    if (!data) return "absent";
    const std::string hash = Sha256(*data).substr(0, 12);
    if (*data == payload) return "payload " + hash;
    if (before && *data == *before) return "old " + hash;
    return "other " + hash;
}

std::string Version(const std::optional<std::string>& version) { return version ? Cell(*version, false) : "(none)"; }

void AppendRow(const std::string& row) {
    const char* path = std::getenv("UPDATE_FAULT_MATRIX_LOG");
    if (!path || !*path) return;
    if (std::FILE* log = std::fopen(path, "ab")) {
        std::fputs(row.c_str(), log);
        std::fclose(log);
    }
}

void Note(std::string& why, const std::string& what) {
    if (!why.empty()) why += "; ";
    why += what;
}

// The line must tell what the box told, with the code a deployment tool
// would get for it, and for a failure name the step and its own code.
void JudgeLogLine(const Observation& seen, Outcome told, std::string& why) {
    static const char* const kNames[] = {"no-update-needed", "already-updated", "installed", "failed"};
    const std::string& line = *seen.logLine;
    const std::optional<std::string> outcome = LogField(line, "outcome"), exit = LogField(line, "exit"),
                                     step = LogField(line, "step"), error = LogField(line, "error"),
                                     copy = LogField(line, "elevated-copy");
    if (!outcome || !exit || !step || !error || !copy) return Note(why, "the log line lacks a field: " + line);
    if (*outcome != kNames[static_cast<int>(told)]) Note(why, "the log says " + *outcome);
    const bool failed = told == Outcome::Failed;
    // 740 exactly where an elevated process could have done it and none ran.
    const bool elevationRequired = failed && seen.elevationWouldHelp && *copy == "-";
    const std::string expectedExit =
        told == Outcome::NoUpdateNeeded ? "1642" : elevationRequired ? "740" : failed ? *error : "0";
    if (*exit != expectedExit)
        Note(why, "exit code " + *exit + " for " + Name(told) + " (error " + *error + ", elevated copy " + *copy +
                      ", expected " + expectedExit + ")");
    if (failed && (*step == "-" || *error == "0")) Note(why, "a failure logged without its step or error");
    if (!failed && (*step != "-" || *error != "0")) Note(why, "a step logged for a run that did not fail");
    if (failed && seen.failedWith && *error != std::to_string(*seen.failedWith))
        Note(why, "error=" + *error + ", but the step failed with " + std::to_string(*seen.failedWith));
    if (failed && *step == "elevate" && *copy != "-" && *error != *copy)
        Note(why, "error=" + *error + ", but the elevated copy exited with " + *copy);
}

}  // namespace

std::optional<Outcome> OutcomeOf(const std::u16string& message, const std::string& carriedVersion) {
    const std::u16string version(carriedVersion.begin(), carriedVersion.end());
    if (message == u"" EXPECTED_NOTHING_TO_UPDATE) return Outcome::NoUpdateNeeded;
    if (message == u"" EXPECTED_ALREADY_UPDATED) return Outcome::AlreadyUpdated;
    if (message == u"" EXPECTED_INSTALLED_PREFIX + version + u".") return Outcome::Installed;
    if (message == u"" EXPECTED_FAILED) return Outcome::Failed;
    return std::nullopt;
}

const char* Name(Outcome outcome) {
    switch (outcome) {
        case Outcome::NoUpdateNeeded: return "no update needed";
        case Outcome::AlreadyUpdated: return "already updated";
        case Outcome::Installed: return "installed";
        case Outcome::Failed: return "failed";
    }
    return "?";
}

Verdict Judge(const Observation& seen, const Bytes& payload, const std::string& carriedVersion) {
    Verdict verdict{true, false, {}};
    const auto lose = [&verdict](const std::string& what) {
        verdict.dataLost = true;
        Note(verdict.why, "DATA LOST: " + what);
    };

    if (seen.dataBefore && !seen.dataAfter) lose("the data file is gone");
    if (seen.dataAfter && *seen.dataAfter != payload && (!seen.dataBefore || *seen.dataAfter != *seen.dataBefore))
        lose("the data file holds neither its old bytes nor the payload");
    const bool payloadOnDisk = seen.dataAfter && *seen.dataAfter == payload;
    if (seen.versionAfter == carriedVersion && seen.versionBefore != carriedVersion && !payloadOnDisk)
        lose("VerTOL names " + carriedVersion + " but the payload is not on disk");

    if (seen.messages.size() != seen.programs)
        Note(verdict.why,
             std::to_string(seen.messages.size()) + " boxes from " + std::to_string(seen.programs) + " program(s)");
    const bool alone = seen.programs == 1;
    const bool unchanged = seen.dataAfter == seen.dataBefore && seen.versionAfter == seen.versionBefore;
    for (const std::u16string& message : seen.messages) {
        const std::optional<Outcome> told = OutcomeOf(message, carriedVersion);
        if (!told) {
            Note(verdict.why, "an unknown message \"" + Utf8(message) + "\"");
            continue;
        }
        if (*told == Outcome::Installed && (!payloadOnDisk || seen.versionAfter != carriedVersion))
            Note(verdict.why, "told installed, but the payload or its version is not in place");
        if ((*told == Outcome::NoUpdateNeeded || *told == Outcome::AlreadyUpdated) && alone && !unchanged)
            Note(verdict.why, std::string("told ") + Name(*told) + ", but something changed");
        if (*told == Outcome::Failed && alone && seen.versionAfter != seen.versionBefore)
            Note(verdict.why, "told failed, but VerTOL changed");
        if (seen.expected && alone && *told != *seen.expected && told != seen.alsoExpected)
            Note(verdict.why, std::string("expected ") + Name(*seen.expected) + ", told " + Name(*told));
    }
    for (const std::string& file : seen.newFiles) Note(verdict.why, "left " + file);
    if (seen.logLine && alone && seen.messages.size() == 1) {
        if (const std::optional<Outcome> told = OutcomeOf(seen.messages[0], carriedVersion))
            JudgeLogLine(seen, *told, verdict.why);
    }
    verdict.passed = verdict.why.empty();
    return verdict;
}

Verdict Record(const Observation& seen, const Bytes& payload, const std::string& carriedVersion) {
    const Verdict verdict = Judge(seen, payload, carriedVersion);
    std::string told;
    for (const std::u16string& message : seen.messages) told += (told.empty() ? "" : " | ") + Utf8(message);
    AppendRow(seen.suite + '\t' + Cell(seen.name) + '\t' + (verdict.passed ? "pass" : "FAIL") + '\t' +
              (verdict.dataLost ? "1" : "0") + '\t' + Cell(told) + '\t' +
              Describe(seen.dataAfter, seen.dataBefore, payload) + '\t' + Version(seen.versionBefore) + " -> " +
              Version(seen.versionAfter) + '\t' + Cell(verdict.why) + '\n');
    return verdict;
}

void RecordSkipped(const std::string& suite, const std::string& name, const std::string& reason) {
    AppendRow(suite + '\t' + Cell(name) + "\tskip\t0\t\t\t\t" + Cell(reason) + '\n');
}

void RecordStorm(const std::string& name, const StormTally& tally, bool passed, const std::string& why) {
    const auto figure = [](const char* label, std::size_t value) {
        return '\t' + std::string(label) + '=' + std::to_string(value);
    };
    AppendRow("storm\t" + Cell(name) + '\t' + (passed ? "pass" : "FAIL") + figure("killed", tally.killed) +
              figure("finished", tally.finished) + figure("missing", tally.missing) +
              figure("not-ordinary", tally.notOrdinary) + figure("mixed", tally.mixed) +
              figure("version-ahead", tally.versionAhead) + figure("old", tally.old) +
              figure("payload", tally.payload) + figure("leftovers", tally.leftovers) + '\t' + Cell(why) + '\n');
}

// SHA-256 (FIPS 180-4), to name file contents in the log.
std::string Sha256(const Bytes& bytes) {
    static const std::uint32_t k[64] = {
        0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
        0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
        0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
        0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
        0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
        0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
        0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
        0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
    std::uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                          0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    Bytes message = bytes;
    const std::uint64_t bits = static_cast<std::uint64_t>(bytes.size()) * 8;
    message.push_back(0x80);
    while (message.size() % 64 != 56) message.push_back(0);
    for (int shift = 56; shift >= 0; shift -= 8) message.push_back(static_cast<unsigned char>(bits >> shift));
    const auto rotr = [](std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); };
    for (std::size_t block = 0; block < message.size(); block += 64) {
        std::uint32_t w[64];
        for (int i = 0; i < 16; ++i)
            w[i] = static_cast<std::uint32_t>(message[block + 4 * i]) << 24 | message[block + 4 * i + 1] << 16 |
                   message[block + 4 * i + 2] << 8 | message[block + 4 * i + 3];
        for (int i = 16; i < 64; ++i) {
            const std::uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const std::uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        std::uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], hh = h[7];
        for (int i = 0; i < 64; ++i) {
            const std::uint32_t t1 = hh + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + k[i] + w[i];
            const std::uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            hh = g;
            g = f;
            f = e;
            e = d + t1;
            d = c;
            c = b;
            b = a;
            a = t1 + t2;
        }
        h[0] += a, h[1] += b, h[2] += c, h[3] += d, h[4] += e, h[5] += f, h[6] += g, h[7] += hh;
    }
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (std::uint32_t word : h)
        for (int shift = 28; shift >= 0; shift -= 4) hex += kHex[(word >> shift) & 15];
    return hex;
}

std::vector<std::string> WholeLines(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    return lines;
}

std::optional<std::string> LastWholeLine(const std::string& text) {
    if (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0) return std::nullopt;
    return WholeLines(text).back();
}

std::optional<std::string> LogField(const std::string& line, const std::string& name) {
    const std::string key = "\t" + name + "=";
    const std::size_t at = line.find(key);
    if (at == std::string::npos) return std::nullopt;
    const std::size_t from = at + key.size();
    return line.substr(from, line.find_first_of("\t\r\n", from) - from);
}

}  // namespace matrix
