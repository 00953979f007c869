// Comma-separated text as RFC 4180 has it: fields in double quotes may hold separators, line
// breaks and doubled quotes. Spreadsheet programs of some countries write semicolons instead
// of commas, and either UTF-8 or the Windows code page; both are recognised.
#include "base/Cp1252.h"
#include "base/Utf8.h"
#include "spreadsheet/Readers.h"

#include <fstream>
#include <vector>

namespace spreadsheet::detail {
namespace {

constexpr std::size_t kChunk = 1 << 16;

// Strict UTF-8, fed in pieces: a sequence may span two pieces.
class Utf8Check {
public:
    void feed(std::string_view bytes) {
        for (unsigned char b : bytes) {
            if (bad_)
                return;
            if (need_ > 0) {
                bad_ = b < low_ || b > high_;
                low_ = 0x80, high_ = 0xBF;
                --need_;
            } else if (b >= 0x80) {
                // The lead byte fixes the length and narrows the next byte, which rules out
                // overlong forms, surrogates and code points past U+10FFFF.
                need_ = b >= 0xC2 && b <= 0xDF   ? 1
                        : b >= 0xE0 && b <= 0xEF ? 2
                        : b >= 0xF0 && b <= 0xF4 ? 3
                                                 : 0;
                bad_ = need_ == 0;
                low_ = b == 0xE0 ? 0xA0 : b == 0xF0 ? 0x90 : 0x80;
                high_ = b == 0xED ? 0x9F : b == 0xF4 ? 0x8F : 0xBF;
            }
        }
    }
    bool valid() const { return !bad_ && need_ == 0; }

private:
    bool bad_ = false;
    int need_ = 0;
    unsigned char low_ = 0x80, high_ = 0xBF;
};

constexpr std::string_view kBom = "\xEF\xBB\xBF";

class CsvBook : public Book {
public:
    explicit CsvBook(const std::filesystem::path& file) : file_(file) {
        std::ifstream in = open();
        std::vector<char> buffer(kChunk);
        Utf8Check check;
        bool first = true, quoted = false, lineDone = false;
        std::size_t counts[3] = {0, 0, 0}; // comma, semicolon, TAB on the first line
        while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) ||
               in.gcount() > 0) {
            std::string_view chunk(buffer.data(), static_cast<std::size_t>(in.gcount()));
            if (first && chunk.starts_with(kBom))
                bom_ = true, chunk.remove_prefix(kBom.size());
            first = false;
            check.feed(chunk);
            for (std::size_t i = 0; i < chunk.size() && !lineDone; ++i) {
                const char c = chunk[i];
                if (c == '"')
                    quoted = !quoted;
                else if (!quoted && (c == '\r' || c == '\n'))
                    lineDone = true;
                else if (!quoted)
                    counts[0] += c == ',', counts[1] += c == ';', counts[2] += c == '\t';
            }
        }
        if (in.bad())
            throw Problem(Trouble::Unreadable);
        utf8_ = bom_ || check.valid();
        separator_ = counts[1] > counts[0] && counts[1] >= counts[2]  ? ';'
                     : counts[2] > counts[0] && counts[2] > counts[1] ? '\t'
                                                                      : ',';
    }

    std::vector<SheetEntry> sheets() override {
        const auto stem = file_.stem().u8string();
        return {{std::string(stem.begin(), stem.end()), true}};
    }

    // A CSV file is one sheet: the name asked for does not matter.
    void read(std::string_view, CellSink& sink) override {
        std::ifstream in = open();
        std::vector<char> buffer(kChunk);
        enum class State { FieldStart, Plain, Quoted, QuoteInQuoted } state = State::FieldStart;
        std::string field;
        std::int64_t row = 0;
        std::int32_t column = 0;
        bool skipLineFeed = false, first = true;

        auto endField = [&] {
            if (!field.empty()) {
                if (column >= kMaxColumns)
                    throw Problem(Trouble::TooWide);
                sink.cell(row, column, sink.wantsText() ? text(field) : std::string());
            }
            field.clear();
            column = std::min(column + 1, kMaxColumns);
            state = State::FieldStart;
        };
        auto endRecord = [&] {
            endField();
            ++row;
            column = 0;
        };

        while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) ||
               in.gcount() > 0) {
            std::string_view chunk(buffer.data(), static_cast<std::size_t>(in.gcount()));
            if (first && bom_)
                chunk.remove_prefix(kBom.size());
            first = false;
            for (const char c : chunk) {
                if (skipLineFeed) {
                    skipLineFeed = false;
                    if (c == '\n')
                        continue;
                }
                const bool lineEnd = c == '\r' || c == '\n';
                switch (state) {
                case State::Quoted:
                    if (c == '"')
                        state = State::QuoteInQuoted;
                    else
                        field += c;
                    continue;
                case State::QuoteInQuoted:
                    if (c == '"') {
                        field += c;
                        state = State::Quoted;
                        continue;
                    }
                    break;
                case State::FieldStart:
                    if (c == '"') {
                        state = State::Quoted;
                        continue;
                    }
                    break;
                case State::Plain:
                    break;
                }
                if (c == separator_) {
                    endField();
                } else if (lineEnd) {
                    endRecord();
                    skipLineFeed = c == '\r';
                } else {
                    // Text after a closing quote is kept, as spreadsheet programs keep it.
                    field += c;
                    state = State::Plain;
                }
            }
        }
        if (in.bad())
            throw Problem(Trouble::Unreadable);
        if (state != State::FieldStart || column > 0)
            endRecord();
    }

private:
    std::ifstream open() const {
        std::ifstream in(file_, std::ios::binary);
        if (!in)
            throw Problem(Trouble::Unreadable);
        return in;
    }

    std::string text(const std::string& bytes) const {
        if (utf8_)
            return bytes;
        std::string out;
        for (unsigned char b : bytes)
            utf::appendUtf8(out, cp1252::toUnicode(b));
        return out;
    }

    std::filesystem::path file_;
    bool bom_ = false, utf8_ = true;
    char separator_ = ',';
};

} // namespace

std::unique_ptr<Book> openCsv(const std::filesystem::path& file) {
    return std::make_unique<CsvBook>(file);
}

} // namespace spreadsheet::detail
