#include "hiscorefile.h"

#include <algorithm>

namespace scores {
namespace {

// Windows-1252 from 80 to 9F; zero marks the five unassigned bytes. From A0
// on the bytes are the Latin-1 characters of the same number.
constexpr char32_t Cp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

void appendUtf8(std::string &out, char32_t c)
{
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

// Decodes the UTF-8 sequence at `pos`; advances `pos`. Returns nothing for
// a malformed sequence (overlong forms and surrogates included), then
// `pos` has moved past its first byte only.
std::optional<char32_t> decodeUtf8(std::string_view s, std::size_t &pos)
{
    const auto b0 = static_cast<unsigned char>(s[pos++]);
    if (b0 < 0x80)
        return b0;
    int more;
    char32_t c;
    char32_t min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        more = 1, c = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        more = 2, c = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        more = 3, c = b0 & 0x07, min = 0x10000;
    } else {
        return std::nullopt;
    }
    if (s.size() - pos < static_cast<std::size_t>(more))
        return std::nullopt;
    for (int i = 0; i < more; ++i) {
        const auto b = static_cast<unsigned char>(s[pos + i]);
        if ((b & 0xC0) != 0x80)
            return std::nullopt;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return std::nullopt;
    pos += more;
    return c;
}

// A short, printable quotation of what the file holds, for a message.
std::string excerpt(std::string_view text)
{
    std::string out;
    std::size_t pos = 0;
    int shown = 0;
    while (pos < text.size()) {
        if (++shown > 20) {
            out += "...";
            break;
        }
        const std::size_t start = pos;
        const auto c = decodeUtf8(text, pos);
        if (!c || *c < 0x20 || *c == 0x7F)
            out += '?';
        else
            out.append(text.substr(start, pos - start));
    }
    return out;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The score as written: "-"? digits, no leading zeros, no "-0".
bool parseScore(std::string_view text, std::int16_t &score, std::string &error)
{
    if (text.empty()) {
        error = "the score is missing after the comma";
        return false;
    }
    const bool negative = text.front() == '-';
    const std::string_view digits = negative ? text.substr(1) : text;
    const bool written = !digits.empty() && std::all_of(digits.begin(), digits.end(), isDigit)
        && (digits.size() == 1 || digits.front() != '0') && !(negative && digits == "0");
    if (!written) {
        error = "the score \"" + excerpt(text) + "\" is not a whole number as the game writes it";
        return false;
    }
    long value = 0;
    for (const char d : digits.substr(0, 6))
        value = value * 10 + (d - '0');
    if (negative)
        value = -value;
    if (digits.size() > 5 || value < -32768 || value > 32767) {
        error = "the score " + excerpt(text) + " is outside -32768..32767";
        return false;
    }
    score = static_cast<std::int16_t>(value);
    return true;
}

// One line, without its line end.
bool parseLine(std::string_view line, Record &record, std::string &error)
{
    std::string text;
    if (isValidUtf8(line)) {
        text = line;
    } else {
        for (const char ch : line) {
            const std::string c = windows1252ToUtf8(static_cast<unsigned char>(ch));
            if (c.empty()) {
                error = "the line is neither UTF-8 nor Windows-1252 text";
                return false;
            }
            text += c;
        }
    }
    if (text.empty()) {
        error = "the line is empty";
        return false;
    }
    if (text.front() != '"') {
        error = "the line does not start with a double quote";
        return false;
    }
    const std::size_t close = text.find('"', 1);
    if (close == std::string::npos) {
        error = "the name has no closing double quote";
        return false;
    }
    const std::string_view name = std::string_view(text).substr(1, close - 1);
    const std::string_view rest = std::string_view(text).substr(close + 1);
    if (name.find('\0') != std::string_view::npos) {
        error = "the name holds a NUL character";
        return false;
    }
    if (name.find('\r') != std::string_view::npos) {
        error = "the name holds a carriage return";
        return false;
    }
    if (rest.empty() || rest.front() != ',') {
        error = rest.find('"') != std::string_view::npos
            ? "the name holds a double quote"
            : "the name's closing quote is not followed by a comma";
        return false;
    }
    if (!parseScore(rest.substr(1), record.score, error))
        return false;
    record.name = name;
    return true;
}

} // namespace

bool isValidUtf8(std::string_view bytes)
{
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        if (!decodeUtf8(bytes, pos))
            return false;
    }
    return true;
}

std::string windows1252ToUtf8(unsigned char byte)
{
    char32_t c = byte;
    if (byte >= 0x80 && byte < 0xA0)
        c = Cp1252High[byte - 0x80];
    if (byte != 0 && c == 0)
        return {};
    std::string out;
    appendUtf8(out, c);
    return out;
}

std::size_t TableStart::room() const
{
    return m_lineEnds >= TableSize ? 0 : ReadLimit - m_bytes.size();
}

void TableStart::append(std::string_view chunk)
{
    chunk = chunk.substr(0, room());
    m_lineEnds += static_cast<int>(std::count(chunk.begin(), chunk.end(), '\n'));
    m_bytes.append(chunk);
}

Parsed parseTable(std::string_view bytes)
{
    Parsed out;
    if (bytes.empty()) {
        out.error = "the file is empty";
        return out;
    }
    std::size_t pos = 0;
    for (int i = 0; i < TableSize; ++i) {
        const std::string lineNo = "line " + std::to_string(i + 1);
        const std::size_t lf = bytes.find('\n', pos);
        const bool ended = lf != std::string_view::npos;
        std::string_view line = bytes.substr(pos, ended ? lf - pos : std::string_view::npos);
        if (ended && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        // Checked first: a reader stops at ReadLimit bytes, and whatever it
        // stopped in the middle of is longer than this.
        if (line.size() > MaxLineLength) {
            out.error = lineNo + " is longer than " + std::to_string(MaxLineLength) + " bytes";
            return out;
        }
        // A tenth record may end with the file: a text editor saves the
        // last line without its line end. Earlier lines may not.
        if (!ended && (pos == bytes.size() || i < TableSize - 1)) {
            out.error = pos == bytes.size()
                ? "it holds only " + std::to_string(i) + " records, the table needs ten"
                : "it ends in the middle of " + lineNo + ", after " + std::to_string(i)
                    + " whole records; the table needs ten";
            return out;
        }
        std::string error;
        if (!parseLine(line, out.table[i], error)) {
            out.error = lineNo + ": " + error;
            return out;
        }
        pos = ended ? lf + 1 : bytes.size();
    }
    out.ok = true;
    out.length = pos;
    return out;
}

std::string formatRecord(const Record &record)
{
    return '"' + record.name + "\"," + std::to_string(record.score) + "\r\n";
}

std::string formatRecords(const std::vector<Record> &records)
{
    std::string out;
    for (const Record &r : records)
        out += formatRecord(r);
    return out;
}

std::string sanitizeName(std::string_view typed)
{
    // Whatever a name holds, its line must stay within MaxLineLength to
    // read back.
    std::string out;
    std::size_t pos = 0;
    while (pos < typed.size()) {
        char32_t c = decodeUtf8(typed, pos).value_or(0xFFFD);
        // A double quote would end the name early when it is read back.
        if (c == '"')
            c = '\'';
        // Line breaks, tabs and the other control characters would break
        // the line or show as nothing.
        const bool control = c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x2028 || c == 0x2029;
        if (control)
            continue;
        const std::size_t before = out.size();
        appendUtf8(out, c);
        if (out.size() > NameMaxBytes) {
            out.resize(before);
            break;
        }
    }
    return out;
}

std::optional<int> entryRank(const Table &table, std::int16_t score)
{
    // The tenth entry is never compared: beating only it earns no place.
    for (int i = 0; i < TableSize - 1; ++i) {
        if (score > table[i].score)
            return i;
    }
    return std::nullopt;
}

std::vector<Record> recordsAfterGame(const Table &table, std::optional<int> rank,
                                     const Record &entry)
{
    std::vector<Record> records(table.begin(), table.end());
    if (rank)
        records.insert(records.begin() + *rank, entry);
    return records;
}

} // namespace scores
