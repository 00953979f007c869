#include "wizard/TextForm.h"

#include "base/ByteScan.h"
#include "base/Utf8.h"
#include "platform/Ansi.h"
#include "platform/HostPath.h"
#include "wizard/RemoveExtraFields.h"

#include <bit>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace wizard {
namespace {

constexpr std::size_t kChunk = 1 << 16;
constexpr char32_t kCr = 13, kLf = 10;

bool startsWith(std::string_view bytes, std::string_view mark) {
    return bytes.substr(0, mark.size()) == mark;
}

std::size_t markLength(TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::Utf8Bom:
        return 3;
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be:
        return 2;
    default:
        return 0;
    }
}

bool utf16(TextEncoding e) {
    return e == TextEncoding::Utf16Le || e == TextEncoding::Utf16Be;
}

char16_t unitAt(std::string_view bytes, std::size_t at, TextEncoding e) {
    const auto a = static_cast<unsigned char>(bytes[at]),
               b = static_cast<unsigned char>(bytes[at + 1]);
    return static_cast<char16_t>(e == TextEncoding::Utf16Le ? a | b << 8 : b | a << 8);
}

// Where the last whole UTF-8 sequence of bytes ends: a sequence cut at the end waits for the
// next piece. A malformed one within the last three bytes waits too and is decoded then.
std::size_t wholeUtf8(std::string_view bytes) {
    const std::size_t from = bytes.size() > 3 ? bytes.size() - 3 : 0;
    for (std::size_t at = bytes.size(); at > from; --at) {
        if ((static_cast<unsigned char>(bytes[at - 1]) & 0xC0) != 0xC0)
            continue;
        std::size_t next = at - 1;
        return utf::nextCodePoint(bytes, next) ? bytes.size() : at - 1;
    }
    return bytes.size();
}

std::string fileName(const std::string& path) {
    return path.substr(hostpath::folderOf(path).size());
}

} // namespace

void TextInspector::feed(std::string_view bytes) {
    if (started_) {
        scanBytes(bytes);
        return;
    }
    head_.append(bytes);
    if (head_.size() >= 3)
        start(head_);
}

void TextInspector::start(std::string_view head) {
    started_ = true;
    if (startsWith(head, "\xEF\xBB\xBF"))
        form_.encoding = TextEncoding::Utf8Bom;
    else if (startsWith(head, "\xFF\xFE"))
        form_.encoding = TextEncoding::Utf16Le;
    else if (startsWith(head, "\xFE\xFF"))
        form_.encoding = TextEncoding::Utf16Be;
    std::string rest(head.substr(markLength(form_.encoding)));
    head_.clear();
    scanBytes(rest);
}

void TextInspector::scanBytes(std::string_view bytes) {
    if (utf16(form_.encoding)) {
        std::string units = odd_ + std::string(bytes);
        std::size_t at = 0;
        for (; at + 1 < units.size(); at += 2)
            character(unitAt(units, at, form_.encoding));
        odd_ = units.substr(at);
        return;
    }
    // Only line ends and NULs need a look of their own, found 64 bytes at a time; a run of
    // other bytes just makes the line one with characters.
    std::size_t next = 0; // the first byte not yet looked at
    auto passOver = [&](std::size_t to) {
        if (to > next) {
            lineHasCharacters_ = true;
            afterCr_ = false;
        }
    };
    for (std::size_t block = 0; block < bytes.size(); block += 64)
        for (auto marks = bytescan::marksAt(bytes, block, '\n', '\r', 0); marks != 0;
             marks &= marks - 1) {
            const std::size_t at = block + static_cast<std::size_t>(std::countr_zero(marks));
            passOver(at);
            character(static_cast<unsigned char>(bytes[at]));
            next = at + 1;
        }
    passOver(bytes.size());
    // Plain ASCII is valid UTF-8 and tells nothing more.
    if (form_.encoding != TextEncoding::Ansi || !utf8Valid_ ||
        (!bytescan::anyHighByte(bytes) && utf8Tail_.empty()))
        return;
    // Copied only when a sequence was cut at the last piece's end, which is rare.
    std::string joined;
    std::string_view text = bytes;
    if (!utf8Tail_.empty())
        text = joined = utf8Tail_ + std::string(bytes);
    const std::size_t whole = wholeUtf8(text);
    for (std::size_t at = 0; at < whole;) {
        if (at + 8 <= whole && !bytescan::hasHighByte(bytescan::load8(text.data() + at))) {
            at += 8;
            continue;
        }
        if (static_cast<unsigned char>(text[at]) < 0x80) {
            ++at;
            continue;
        }
        auto cp = utf::nextCodePoint(text, at);
        if (!cp || *cp > 0x10FFFF || (*cp >= 0xD800 && *cp < 0xE000)) {
            utf8Valid_ = false;
            return;
        }
        utf8Multi_ = true;
    }
    utf8Tail_ = std::string(text.substr(whole));
}

void TextInspector::character(char32_t c) {
    if (c == 0 && form_.nulLine == 0) {
        form_.nulLine = line_;
        nulCrs_ = crs_;
    }
    if (c == kLf) {
        anyLf_ = true;
        if (!afterCr_) {
            ++form_.loneEnds;
            if (form_.loneEndLine == 0)
                form_.loneEndLine = line_;
        }
        ++line_;
        lineHasCharacters_ = false;
    } else {
        lineHasCharacters_ = true;
    }
    if (c == kCr)
        ++crs_;
    afterCr_ = c == kCr;
}

TextForm TextInspector::finish() {
    if (!started_)
        start(head_);
    if (!odd_.empty())
        character(0xFFFD); // half a character at the end
    if (!utf8Tail_.empty())
        utf8Valid_ = false;
    if (form_.encoding == TextEncoding::Ansi && utf8Valid_ && utf8Multi_)
        form_.encoding = TextEncoding::Utf8;
    if (!anyLf_ && crs_ > 0) {
        // Without any LF, every CR ends a line.
        form_.crLineEnds = true;
        form_.loneEndLine = 1;
        form_.loneEnds = crs_;
        if (form_.nulLine != 0)
            form_.nulLine = nulCrs_ + 1;
        if (!afterCr_)
            form_.unendedLine = crs_ + 1;
    } else if (lineHasCharacters_) {
        form_.unendedLine = line_;
    }
    form_.lines = line_ - 1 + (lineHasCharacters_ ? 1 : 0);
    return form_;
}

TextForm inspectText(std::string_view bytes) {
    TextInspector inspector;
    inspector.feed(bytes);
    return inspector.finish();
}

std::optional<TextForm> inspectTextFile(const std::string& hostPath) {
    std::ifstream in(hostpath::resolve(hostPath), std::ios::binary);
    if (!in)
        return std::nullopt;
    TextInspector inspector;
    std::vector<char> buffer(kChunk);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto got = static_cast<std::size_t>(in.gcount());
        if (got == 0)
            break;
        inspector.feed(std::string_view(buffer.data(), got));
    }
    if (in.bad())
        return std::nullopt;
    return inspector.finish();
}

VerdictMessage revisionOffer(const TextForm& form, const std::string& path) {
    std::string text = "Your import file " + path + " ";
    switch (form.encoding) {
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be:
        text += "is saved as Unicode Text (UTF-16), which the import cannot read.  ";
        break;
    case TextEncoding::Utf8:
    case TextEncoding::Utf8Bom:
        text += "is saved as UTF-8 text, whose accented letters and symbols the import would "
                "store garbled.  ";
        break;
    case TextEncoding::Ansi:
        text += "is a Windows text file.  ";
        break;
    }
    if (form.loneEndLine != 0) {
        text += std::string("Its lines end with a ") +
                (form.crLineEnds ? "carriage return" : "line feed") + " alone (the first is line " +
                std::to_string(form.loneEndLine) +
                ") instead of a carriage return and line feed, so ";
        text += form.crLineEnds ? "the import would find no records in it.  "
                                : "the last field of each such line would not be imported.  ";
    }
    if (form.unendedLine != 0)
        text += "Its last line (line " + std::to_string(form.unendedLine) +
                ") has no line end, so that record would not be imported.  ";
    text += "The Tarnfield program can write a corrected copy, " + fileName(revisedPath(path));
    if (form.unicode())
        text += ", in the Windows character set with \"?\" for any character it cannot hold";
    text += ", and use it.  ";
    if (!utf16(form.encoding))
        text += "If you do not, the file is verified as it is and the import log names every "
                "field and record that is not imported.  ";
    text += "Do you want the system to fix your import file now?";
    return {"Correct Import File?", text};
}

VerdictMessage nulMessage(const TextForm& form, const std::string& path) {
    return {"NUL Characters in Import File",
            "Your import file " + path +
                " holds NUL characters (character code 0), the first "
                "on line " +
                std::to_string(form.nulLine) +
                ".  The system cannot use this file for importing.  Please save it again from your "
                "spreadsheet program as Text (Tab delimited) and verify it again."};
}

namespace {

// Writes Windows-1252 text with every line ended by CR LF.
class LineEndWriter {
public:
    LineEndWriter(std::ofstream& out, bool crLineEnds) : out_(out), crLineEnds_(crLineEnds) {}

    void put(std::string_view text) {
        for (char c : text) {
            if (c == '\n' && !afterCr_)
                pending_ += '\r';
            pending_ += c;
            if (c == '\r' && crLineEnds_)
                pending_ += '\n';
            afterCr_ = c == '\r' && !crLineEnds_;
            lineHasCharacters_ = c != '\n' && !(c == '\r' && crLineEnds_);
        }
        if (pending_.size() >= kChunk)
            flush();
    }

    void finish() {
        if (afterCr_)
            pending_ += '\n';
        else if (lineHasCharacters_)
            pending_ += "\r\n";
        flush();
    }

private:
    void flush() {
        out_.write(pending_.data(), static_cast<std::streamsize>(pending_.size()));
        pending_.clear();
    }

    std::ofstream& out_;
    const bool crLineEnds_;
    std::string pending_;
    bool afterCr_ = false;
    bool lineHasCharacters_ = false;
};

} // namespace

void ReviseText(std::string& path, const TextForm& form) {
    const std::string source = path;
    const auto revisedNative = startRevisedCopy(path);

    std::ifstream in(hostpath::resolve(source), std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open " + hostpath::resolve(source).string());
    std::ofstream out(revisedNative, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::runtime_error("cannot create " + revisedNative.string());
    LineEndWriter writer(out, form.crLineEnds);

    const TextEncoding e = form.encoding;
    std::size_t skip = markLength(e);
    std::string carry; // bytes of a character cut at a piece's end
    std::vector<char> buffer(kChunk);
    auto convert = [&](bool last) {
        if (e == TextEncoding::Ansi) {
            writer.put(carry);
            carry.clear();
        } else if (utf16(e)) {
            std::size_t whole = carry.size() & ~std::size_t{1};
            // A high surrogate waits for its partner in the next piece.
            if (!last && whole >= 2) {
                const char16_t u = unitAt(carry, whole - 2, e);
                if (u >= 0xD800 && u < 0xDC00)
                    whole -= 2;
            }
            std::u16string units;
            for (std::size_t at = 0; at < whole; at += 2)
                units += unitAt(carry, at, e);
            writer.put(ansi::fromUtf16(units));
            carry.erase(0, whole);
            if (last && !carry.empty()) {
                writer.put("?"); // half a character at the end
                carry.clear();
            }
        } else {
            const std::size_t whole = last ? carry.size() : wholeUtf8(carry);
            writer.put(ansi::fromUtf8(std::string_view(carry).substr(0, whole)));
            carry.erase(0, whole);
        }
    };
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        std::string_view got(buffer.data(), static_cast<std::size_t>(in.gcount()));
        const std::size_t skipped = std::min(skip, got.size());
        got.remove_prefix(skipped);
        skip -= skipped;
        carry.append(got);
        convert(false);
    }
    if (in.bad())
        throw std::runtime_error("cannot read " + hostpath::resolve(source).string());
    convert(true);
    writer.finish();
    out.close();
    if (!out)
        throw std::runtime_error("cannot write " + revisedNative.string());
}

} // namespace wizard
