// Feeds arbitrary bytes to the high-score reader. Whatever it accepts must
// come back byte for byte when written out again, up to the two things the
// writer always does its own way:
//
//   let P be the part of the input that the reader reads (its first ten
//   lines, line ends included; the tenth may run to the end of the input
//   without one). Then formatRecords(parse(input)) equals P with every bare
//   LF turned into CR LF, a CR LF added after a tenth line that had no line
//   end, and every line that is not UTF-8 re-encoded from Windows-1252 into
//   UTF-8. So an accepted input that is already UTF-8 with CR LF comes back
//   exactly. No accepted line is longer than MaxLineLength.
//
// The written bytes must also read back as the same table and be written
// again unchanged. The expected bytes are worked out here independently of
// the reader.

#include "hiscorefile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool utf8(std::string_view s)
{
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t n = b < 0x80 ? 1 : b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
        if (n == 0 || i + n > s.size())
            return false;
        unsigned char lo = 0x80, hi = 0xBF;
        if (b == 0xE0) lo = 0xA0;
        if (b == 0xED) hi = 0x9F;
        if (b == 0xF0) lo = 0x90;
        if (b == 0xF4) hi = 0x8F;
        for (std::size_t k = 1; k < n; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if (c < (k == 1 ? lo : 0x80) || c > (k == 1 ? hi : 0xBF))
                return false;
        }
        i += n;
    }
    return true;
}

std::string fromCp1252(std::string_view s)
{
    static const char16_t high[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    std::string out;
    for (const char ch : s) {
        const auto b = static_cast<unsigned char>(ch);
        const unsigned c = b >= 0x80 && b < 0xA0 ? high[b - 0x80] : b;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    const scores::Parsed parsed = scores::parseTable(input);
    if (!parsed.ok)
        return 0;

    std::string expected;
    const std::string_view read = input.substr(0, parsed.length);
    int lines = 0;
    for (std::size_t pos = 0; pos < read.size(); ++lines) {
        std::size_t lf = read.find('\n', pos);
        std::string_view line;
        if (lf == std::string_view::npos) {
            if (lines != scores::TableSize - 1 || read.size() != input.size())
                fail("the reader accepted a record without a line end before the end of the tenth");
            line = read.substr(pos);
            lf = read.size();
        } else {
            line = read.substr(pos, lf - pos);
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
        }
        if (line.size() > scores::MaxLineLength)
            fail("the reader accepted a line longer than MaxLineLength");
        expected += utf8(line) ? std::string(line) : fromCp1252(line);
        expected += "\r\n";
        pos = lf + 1;
    }
    if (lines != scores::TableSize)
        fail("the reader did not read ten lines");

    const std::string written = scores::formatRecords({parsed.table.begin(), parsed.table.end()});
    if (written != expected)
        fail("writing back what was read does not give the same bytes");
    const scores::Parsed again = scores::parseTable(written);
    if (!again.ok || again.table != parsed.table || again.length != written.size())
        fail("the written table does not read back the same");
    if (scores::formatRecords({again.table.begin(), again.table.end()}) != written)
        fail("writing the table again changes it");
    return 0;
}
