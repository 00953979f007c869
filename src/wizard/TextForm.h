// How a TAB file is written down: its character set, its line ends and any NUL characters. The
// import reads Windows-1252 text with CR LF line ends; anything else loses fields or records or
// stores garbled text, so verification looks at the whole file first and offers a copy the
// import reads as meant.
#pragma once

#include "wizard/TabVerifier.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wizard {

enum class TextEncoding {
    Ansi,    // Windows-1252, what the import reads
    Utf8,    // valid UTF-8 with multi-byte sequences, no mark
    Utf8Bom, // UTF-8 with its byte-order mark
    Utf16Le, // a spreadsheet's "Unicode Text": UTF-16 with its mark
    Utf16Be,
};

// Lines are counted from 1, in characters of the file's encoding.
struct TextForm {
    TextEncoding encoding = TextEncoding::Ansi;
    std::int64_t nulLine = 0; // the first line holding a NUL character; 0 for none
    // Lines ended by LF alone, or by CR alone in a file without any LF (an old Mac's text): the
    // first such line and how many. A CR alone in a file with LFs is a character of its field.
    std::int64_t loneEndLine = 0;
    std::int64_t loneEnds = 0;
    bool crLineEnds = false;      // every line ends with CR alone
    std::int64_t unendedLine = 0; // the last line, when it holds characters but no line end
    // The lines an import of the file reads, counted as it counts them: one per LF, and a last
    // line without one. (Not for UTF-16, which the import does not read.)
    std::int64_t lines = 0;

    bool unicode() const { return encoding != TextEncoding::Ansi; }
    bool lineEndsWrong() const { return loneEndLine != 0 || unendedLine != 0; }
    bool needsRevision() const { return unicode() || lineEndsWrong(); }
};

// Reads a file's bytes piece by piece, in any division.
class TextInspector {
public:
    void feed(std::string_view bytes);
    TextForm finish();

private:
    void start(std::string_view head);
    void scanBytes(std::string_view bytes);
    void character(char32_t c);

    TextForm form_;
    std::string head_; // the first bytes, until the byte-order mark is known
    bool started_ = false;
    std::string utf8Tail_;  // a UTF-8 sequence cut at a piece's end
    bool utf8Valid_ = true; // so far, for a file without a mark
    bool utf8Multi_ = false;
    std::string odd_;          // a UTF-16 code unit cut at a piece's end
    std::int64_t line_ = 1;    // counted by LF
    std::int64_t crs_ = 0;     // CRs so far, the line count of a file without LF
    std::int64_t nulCrs_ = -1; // CRs before the first NUL
    bool lineHasCharacters_ = false;
    bool afterCr_ = false;
    bool anyLf_ = false;
};

TextForm inspectText(std::string_view bytes);

// The whole file, read in pieces; nullopt when it cannot be read.
std::optional<TextForm> inspectTextFile(const std::string& hostPath);

// The question that offers the corrected copy of path.
VerdictMessage revisionOffer(const TextForm& form, const std::string& path);

// Why a file with NUL characters is refused.
VerdictMessage nulMessage(const TextForm& form, const std::string& path);

// path names the source on entry and the corrected copy (revisedPath) on return: the text in
// Windows-1252 ("?" for characters it cannot hold) with every line, the last included, ended by
// CR LF. The source is never changed; an earlier copy is replaced. Throws when the copy cannot
// be written.
void ReviseText(std::string& path, const TextForm& form);

} // namespace wizard
