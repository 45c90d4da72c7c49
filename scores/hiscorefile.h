#pragma once
// The high-score file squibbo.hi: one record per line, best first,
//
//     "name",score CR LF
//
// a double-quoted name (never escaped), a comma and the score as plain
// decimal digits with a minus sign when negative. The table is the first
// ten records; after a game with an entry the file holds eleven, and the
// eleventh is never read. Nothing here touches a widget, so the file code
// can be checked on its own.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace scores {

inline constexpr int TableSize = 10;
// The name prompt takes at most this many characters.
inline constexpr int NameMaxLength = 32;
// The longest line a table may hold, line end not counted. The game writes
// lines of at most 32 characters and a score; hand-edited names far longer
// than that still read, but a longer line is taken as damage, so that
// reading a table never has to take in more than ReadLimit bytes.
inline constexpr std::size_t MaxLineLength = 4096;
// The most bytes of UTF-8 a name can take and still leave its line room for
// the quotes, the comma and any score. The name prompt takes no more.
inline constexpr std::size_t NameMaxBytes = MaxLineLength - std::string_view("\"\",-32768").size();
// Ten of the longest lines with CR LF. A file that has not shown ten line
// ends by then cannot be a table whatever follows.
inline constexpr std::size_t ReadLimit = TableSize * (MaxLineLength + 2);

struct Record {
    std::string name; // UTF-8
    std::int16_t score = 0;

    friend bool operator==(const Record &, const Record &) = default;
};

using Table = std::array<Record, TableSize>;

// The outcome of reading the start of a high-score file.
struct Parsed {
    bool ok = false;
    Table table{};
    // How many bytes the ten records take, line ends included: the reader
    // never looks past them.
    std::size_t length = 0;
    // What is wrong when !ok, e.g. "line 4: the score 32768 is outside
    // -32768..32767".
    std::string error;
};

// Reads the first ten records. Each line ends in CR LF or a bare LF; the
// tenth may also end with the bytes, as a text editor may save it (its
// score then runs to the end). No line may be longer than MaxLineLength. A
// line that is valid UTF-8 is taken as UTF-8; any other line is read as
// Windows-1252, as older copies of the file were written, unless it holds
// one of the five bytes that Windows-1252 leaves unassigned. Every record
// must be exactly in the written form: an opening quote, a name without a
// quote or NUL, a closing quote, a comma and a score in -32768..32767
// written without a plus sign, blanks or leading zeros.
Parsed parseTable(std::string_view bytes);

// Gathers the start of a high-score file chunk by chunk as a reader takes
// it in, and tells it when to stop: once ten line ends are in, as reading
// further cannot change what parseTable makes of them, or at ReadLimit
// bytes. Each byte is looked at once, so the time grows with what is read.
class TableStart {
public:
    // How many bytes the next read may take; 0 when reading is over.
    std::size_t room() const;
    void append(std::string_view chunk);
    std::string &bytes() { return m_bytes; }

private:
    std::string m_bytes;
    int m_lineEnds = 0;
};

// One record in the written form, CR LF included.
std::string formatRecord(const Record &record);
std::string formatRecords(const std::vector<Record> &records);

// A name typed by the player as it will be stored: double quotes become
// single quotes and control characters are dropped. Bytes that are not
// UTF-8 become U+FFFD. The name prompt has kept it to NameMaxLength
// characters in NameMaxBytes bytes already (rt::leftCharacters counts
// them); a longer name from elsewhere is cut where its line would grow past
// MaxLineLength, so that it always reads back.
std::string sanitizeName(std::string_view typed);

// The rank (0 to 8) before which a new score goes: the first of the first
// nine entries that it strictly beats. Nothing when it beats none of them.
std::optional<int> entryRank(const Table &table, std::int16_t score);

// The records that the game-over step writes: the ten entries with the
// player's entry before `rank` (eleven records), or the ten alone.
std::vector<Record> recordsAfterGame(const Table &table, std::optional<int> rank,
                                     const Record &entry);

// The text of a Windows-1252 byte as UTF-8; empty for the five unassigned
// bytes 81, 8D, 8F, 90 and 9D.
std::string windows1252ToUtf8(unsigned char byte);

bool isValidUtf8(std::string_view bytes);

} // namespace scores
