// The repairs verification offers: the removal of extra empty fields and the corrected copy in
// Windows-1252 with CR LF line ends. The corrected copy of any file must itself need no
// correction of its line ends, and the source must stay as it was.
#include "FuzzFiles.h"
#include "platform/ScriptedInteraction.h"
#include "wizard/RemoveExtraFields.h"
#include "wizard/TextForm.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::int64_t fields = 1 + data[0] % 6;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const auto source = fuzzfiles::folder() / "staff.txt";
    fuzzfiles::write(source, bytes);

    platform::ScriptedInteraction ui;
    std::string path = fuzzfiles::hostFolder() + "staff.txt";
    int failed = 0;
    wizard::RemoveExtraFields(path, fields, failed, ui);
    const std::string trimmed = fuzzfiles::read(fuzzfiles::folder() / "staff_Revised.txt");
    fuzzfiles::expect(trimmed.size() <= bytes.size(), "the trimmed copy is no longer");

    const auto form = wizard::inspectText(bytes);
    path = fuzzfiles::hostFolder() + "staff.txt";
    wizard::ReviseText(path, form);
    fuzzfiles::expect(fuzzfiles::read(source) == bytes, "the source is never changed");
    const std::string copy = fuzzfiles::read(fuzzfiles::folder() / "staff_Revised.txt");
    const auto revised = wizard::inspectText(copy);
    // A copy that begins like a byte-order mark ("\xFF\xFE", "\xEF\xBB\xBF" in Windows-1252)
    // reads as another character set; its line ends are then counted in other units.
    const bool marked = revised.encoding != wizard::TextEncoding::Ansi &&
                        revised.encoding != wizard::TextEncoding::Utf8;
    fuzzfiles::expect(marked || (revised.loneEndLine == 0 && revised.unendedLine == 0),
                      "every line of the copy ends in CR LF");
    fuzzfiles::expect(marked || (revised.nulLine != 0) == (form.nulLine != 0),
                      "NULs neither made nor lost");
    if (form.encoding == wizard::TextEncoding::Ansi && !form.crLineEnds) {
        // Only line ends are added to a Windows-1252 file.
        fuzzfiles::expect(
            copy.size() ==
                bytes.size() + static_cast<std::size_t>(form.loneEnds) +
                    (form.unendedLine != 0 ? 2 : 0) -
                    (form.unendedLine != 0 && !bytes.empty() && bytes.back() == '\r' ? 1 : 0),
            "one CR for each lone LF, one line end for an unended line");
    }
    return 0;
}
