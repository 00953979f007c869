#include "formats/HeaderMatch.h"

#include "formats/FieldCatalogue.h"
#include "platform/Ansi.h"

#include <algorithm>
#include <map>
#include <set>

namespace formats {
namespace {

// The names payroll and HR exports commonly give each field, beside the label's own words. A
// label is written as the catalogue writes it, trimmed; "{n}" stands for the number of a child
// or of an other plan, in the label and in its names alike. Names are compared as headings are,
// so "Soc Sec #", "SOC_SEC_NO" and "SocSecNumber" need no entries of their own.
struct KnownNames {
    const char* label;
    const char* names; // separated by "|"
};

const KnownNames kKnownNames[] = {
    {"Last Name", "Last|Surname|Family Name|LName|Name Last"},
    {"First Name", "First|Given Name|FName|Name First"},
    {"Middle Initial", "MI|Middle|Middle Name|Middle Init|Initial|MName"},
    {"Mailing Address",
     "Address|Address 1|Address Line 1|Street|Street 1|Street Address|Mailing Address 1|"
     "Mailing Street"},
    {"Address Overflow",
     "Address 2|Address Line 2|Street 2|Mailing Address 2|Apt|Apartment|Suite|Apt Suite|Unit"},
    {"City (or City, State Zip)", "Town|Municipality|City State Zip|CSZ"},
    {"State", "ST|State Code|State Province|Province|State Territory Code|State Abbreviation"},
    {"Zip Code", "Zip|Postal Code|Postal|Zip Postal Code|Zip 4|Zip Plus 4"},
    {"Gender (M/F)", "Sex|M F|Gender Code|Sex Code"},
    {"Social Security Number",
     "SSN|SS|Social Security|Social|Tax ID|Tax ID SSN|SSN Tax ID|National ID|TIN|SSN TIN"},
    {"Date of Birth", "DOB|Birth Date|Birthday|Birth|Date Born"},
    {"Employee's Hire Date",
     "DOH|Date of Hire|Hire|Hired|Date Hired|Original Hire Date|Most Recent Hire Date|"
     "Latest Hire Date"},
    {"Employee Benefits Start Date",
     "Benefits Start|Benefits Begin Date|Benefits Effective Date|Benefits Eligibility Date|"
     "Eligibility Date|Coverage Start Date|Coverage Begin Date|Coverage Effective Date|"
     "Plan Start Date"},
    {"Date COBRA General Notice Provided",
     "Notice Date|General Notice Date|COBRA Notice Date|COBRA General Notice Date|"
     "Initial Notice Date|Notice Sent|Date Notice Sent|General Notice Sent"},
    {"Date Benefits Will be Terminated",
     "Termination Date|Term Date|Date Terminated|Benefits End Date|Benefits Term Date|"
     "Benefits Termination Date|Coverage End Date|Coverage Term Date|Loss of Coverage Date|"
     "Last Day of Coverage"},
    {"COBRA Qualifying Event Date",
     "QE Date|Qualifying Event Date|Event Date|COBRA Event Date|Loss of Coverage Date"},
    {"Date Employee became a Retiree", "Retirement Date|Retire Date|Date Retired|Retired"},
    {"Qualifying Event Reason",
     "QE Reason|QE Type|Qualifying Event|Qualifying Event Type|Event Reason|Event Type|"
     "COBRA Reason|Termination Reason|Term Reason|Reason|Reason Code|Reason for Leaving"},
    {"Premium Paid Through Date",
     "Paid Through|Paid Through Date|Paid To Date|Premium Paid Through|PTD"},
    {"Spouse's Name (Full Name)", "Spouse|Spouse Full Name"},
    {"Spouse's Social Sec. Number (###-##-####)",
     "Spouse SSN|Spouse SS|Spouse Social|Spouse Tax ID"},
    {"Spouse's Date of Birth", "Spouse DOB|Spouse Birth Date|Spouse Birthday"},
    {"Child #{n} Name", "Child {n}|Child {n} Full Name"},
    {"Child #{n} Social (###-##-####)", "Child {n} SSN|Child {n} SS|Child {n} Social Security"},
    {"Child #{n} Date of Birth", "Child {n} DOB|Child {n} Birth Date|Child {n} Birthday"},
    {"Medical Insurance Plan Name",
     "Medical|Medical Plan|Medical Carrier|Medical Insurance|Health Plan|Health Plan Name"},
    {"Medical Ins. Coverage Type (Single, Family)",
     "Medical Coverage|Medical Coverage Level|Medical Coverage Tier|Medical Tier|Medical Level|"
     "Health Coverage|Health Coverage Level"},
    {"Dental Insurance Plan Name", "Dental|Dental Plan|Dental Carrier|Dental Insurance"},
    {"Dental Ins. Coverage Type (Single, Family)",
     "Dental Coverage|Dental Coverage Level|Dental Coverage Tier|Dental Tier|Dental Level"},
    {"Other Insurance Plan Name #{n}",
     "Other Plan {n}|Other Plan {n} Name|Other {n} Plan|Other {n} Plan Name|Other Insurance {n}"},
    {"Other Plan #{n} Coverage Type (Single, Family)",
     "Other Plan {n} Coverage|Other Plan {n} Coverage Level|Other Plan {n} Tier|Other {n} Coverage|"
     "Other {n} Coverage Type|Other {n} Coverage Level"},
    {"Monthly Contribution towards Medical FSA",
     "FSA|Medical FSA|Health FSA|FSA Contribution|FSA Amount|FSA Election|Monthly FSA|"
     "Monthly FSA Contribution|FSA Monthly Contribution|Medical FSA Contribution"},
};

// Words that carry nothing: "Soc Sec No", "SSN #" and "Social Security Number" are one field.
const std::set<std::string, std::less<>> kFolded = {"NUMBER", "NO", "NUM", "NBR"};

// Short forms and spellings of the words in the labels.
const std::map<std::string, std::string, std::less<>> kSpelledOut = {
    {"DT", "DATE"},
    {"ADDR", "ADDRESS"},
    {"SOC", "SOCIAL"},
    {"SEC", "SECURITY"},
    {"INS", "INSURANCE"},
    {"MED", "MEDICAL"},
    {"COV", "COVERAGE"},
    {"THRU", "THROUGH"},
    {"EFF", "EFFECTIVE"},
    {"EMP", "EMPLOYEE"},
    {"EMPL", "EMPLOYEE"},
    {"EE", "EMPLOYEE"},
    {"EMPLOYEES", "EMPLOYEE"},
    {"SPOUSES", "SPOUSE"},
    {"BENEFIT", "BENEFITS"},
    {"PREMIUMS", "PREMIUM"},
    {"INIT", "INITIAL"},
    {"MID", "MIDDLE"},
    {"QUAL", "QUALIFYING"},
    {"CONTRIB", "CONTRIBUTION"},
    {"AMT", "AMOUNT"},
    {"BIRTHDATE", "BIRTH DATE"},
    {"ZIPCODE", "ZIP CODE"},
    {"POSTCODE", "POSTAL CODE"},
};

// Words that say whose field it is or which copy, not which field: "Legal Last Name", "EE SSN"
// and "Home Address" name the same fields as "Last Name", "SSN" and "Address".
const std::set<std::string, std::less<>> kFillers = {
    "EMPLOYEE", "LEGAL",   "MEMBER",   "PARTICIPANT", "PRIMARY",
    "HOME",     "CURRENT", "ORIGINAL", "WORKER",      "PERSONAL",
};

// Words too common to guess a field by on their own.
const std::set<std::string, std::less<>> kGeneric = {
    "DATE", "NAME", "TYPE", "PLAN", "CODE", "OF", "THE", "A", "OR", "AND", "ID", "FULL", "LEVEL",
};

using Words = std::vector<std::string>;

bool isUpper(char c) {
    return c >= 'A' && c <= 'Z';
}
bool isLower(char c) {
    return c >= 'a' && c <= 'z';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
// Letters of Windows-1252 beyond ASCII count as letters, though they have no case here.
bool isWordCharacter(char c) {
    const auto u = static_cast<unsigned char>(c);
    return isUpper(c) || isLower(c) || isDigit(c) || (u >= 0xC0 && u != 0xD7 && u != 0xF7);
}
bool isApostrophe(char c) {
    return c == '\'' || c == '\x92' || c == '`';
}

// The words of a heading or label, upper case: "SocSecNo" -> SOCIAL SECURITY, "Address1" ->
// ADDRESS 1, "Employee's Hire Date" -> EMPLOYEE HIRE DATE.
Words wordsOf(std::string_view text) {
    std::string spaced;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char prev = i > 0 ? text[i - 1] : ' ';
        const char next = i + 1 < text.size() ? text[i + 1] : ' ';
        if (isApostrophe(c)) {
            // The possessive s goes with its apostrophe; other apostrophes join their letters.
            const char after = i + 2 < text.size() ? text[i + 2] : ' ';
            if ((next == 's' || next == 'S') && !isWordCharacter(after))
                ++i;
            continue;
        }
        if (!isWordCharacter(c)) {
            spaced += ' ';
            continue;
        }
        const bool camel = (isLower(prev) && isUpper(c)) ||
                           (isUpper(prev) && isUpper(c) && isLower(next)) ||
                           (isWordCharacter(prev) && isDigit(prev) != isDigit(c));
        if (camel)
            spaced += ' ';
        spaced += c;
    }
    Words words;
    const std::string upper = ansi::upper(spaced);
    std::size_t at = 0;
    while (at < upper.size()) {
        const auto end = std::min(upper.find(' ', at), upper.size());
        std::string word = upper.substr(at, end - at);
        at = end + 1;
        if (word.empty() || kFolded.contains(word))
            continue;
        const auto spelled = kSpelledOut.find(word);
        if (spelled == kSpelledOut.end()) {
            words.push_back(std::move(word));
            continue;
        }
        const std::string& full = spelled->second;
        const auto blank = full.find(' ');
        words.push_back(full.substr(0, blank));
        if (blank != std::string::npos)
            words.push_back(full.substr(blank + 1));
    }
    return words;
}

Words withoutFillers(Words words) {
    std::erase_if(words, [](const std::string& w) { return kFillers.contains(w); });
    return words;
}

// A label without its bracketed notes: "Gender (M/F)" -> "Gender".
std::string withoutNotes(std::string_view label) {
    std::string out;
    int depth = 0;
    for (char c : label) {
        if (c == '(')
            ++depth;
        else if (c == ')' && depth > 0)
            --depth;
        else if (depth == 0)
            out += c;
    }
    return out;
}

std::string numbered(std::string_view text, int n) {
    std::string out(text);
    for (auto at = out.find("{n}"); at != std::string::npos; at = out.find("{n}", at))
        out.replace(at, 3, std::to_string(n));
    return out;
}

// One label of the type with the word lists it is recognised by.
struct Candidate {
    std::string label;
    std::vector<Words> own;   // the label's words, with and without its notes
    std::vector<Words> known; // the same without fillers, then its common names without fillers
};

std::vector<Candidate> candidatesOf(int typeCode) {
    std::vector<Candidate> out;
    for (const auto& label : defaultFieldList(typeCode)) {
        Candidate c;
        c.label = label;
        const std::string trimmed(ansi::trim(label));
        c.own = {wordsOf(trimmed), wordsOf(withoutNotes(trimmed))};
        for (const auto& words : c.own)
            c.known.push_back(withoutFillers(words));
        for (const auto& entry : kKnownNames) {
            const std::string_view pattern = entry.label;
            const bool counted = pattern.find("{n}") != std::string_view::npos;
            for (int n = 1; n <= (counted ? 9 : 1); ++n) {
                if (numbered(pattern, n) != trimmed)
                    continue;
                std::string_view names = entry.names;
                while (!names.empty()) {
                    const auto bar = std::min(names.find('|'), names.size());
                    c.known.push_back(withoutFillers(wordsOf(numbered(names.substr(0, bar), n))));
                    names.remove_prefix(std::min(bar + 1, names.size()));
                }
            }
        }
        out.push_back(std::move(c));
    }
    return out;
}

bool significant(const Words& words) {
    return std::any_of(words.begin(), words.end(), [](const std::string& w) {
        return !kGeneric.contains(w) &&
               !std::all_of(w.begin(), w.end(), [](char c) { return isDigit(c); });
    });
}

// How much of `whole` the heading's words cover, when every one of them is in it; 0 otherwise.
double coverage(const Words& heading, const Words& whole) {
    const std::set<std::string> part(heading.begin(), heading.end());
    const std::set<std::string> all(whole.begin(), whole.end());
    if (all.empty() || !std::includes(all.begin(), all.end(), part.begin(), part.end()))
        return 0;
    return static_cast<double>(part.size()) / static_cast<double>(all.size());
}

std::string quoted(std::string_view text) {
    return "\"" + std::string(ansi::trim(text)) + "\"";
}

struct Found {
    const Candidate* candidate = nullptr;
    MatchConfidence confidence = MatchConfidence::None;
    double score = 0; // among guesses: how much of the label the heading covers
    std::string note;
};

Found matchOne(std::string_view heading, const std::vector<Candidate>& candidates) {
    const Words words = wordsOf(heading);
    if (words.empty())
        return {nullptr, MatchConfidence::None, 0,
                ansi::trim(heading).empty() ? "no heading" : "no field has this name"};
    for (const auto& c : candidates)
        if (std::find(c.own.begin(), c.own.end(), words) != c.own.end())
            return {&c, MatchConfidence::Exact, 1, {}};
    const Words plain = withoutFillers(words);
    if (!plain.empty())
        for (const auto& c : candidates)
            if (std::find(c.known.begin(), c.known.end(), plain) != c.known.end())
                return {&c, MatchConfidence::Known, 1, {}};

    // A guess only when one label stands out: "Coverage Level" could be any plan's.
    Found best, second;
    if (significant(plain)) {
        for (const auto& c : candidates) {
            double score = 0;
            for (const auto& known : c.known)
                score = std::max(score, coverage(plain, known));
            if (score <= 0)
                continue;
            if (score > best.score) {
                second = best;
                best = {&c, MatchConfidence::Guess, score, {}};
            } else if (score > second.score) {
                second = {&c, MatchConfidence::Guess, score, {}};
            }
        }
    }
    if (best.candidate && second.candidate && second.score == best.score)
        return {nullptr, MatchConfidence::None, 0,
                "could be " + quoted(best.candidate->label) + " or " +
                    quoted(second.candidate->label)};
    if (!best.candidate)
        best.note = "no field has this name";
    return best;
}

} // namespace

std::vector<std::string> splitHeaderLine(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    std::vector<std::string> headings;
    for (;;) {
        const auto tab = line.find('\t');
        headings.emplace_back(line.substr(0, tab));
        if (tab == std::string_view::npos)
            break;
        line.remove_prefix(tab + 1);
    }
    while (!headings.empty() && ansi::trim(headings.back()).empty())
        headings.pop_back();
    return headings;
}

std::vector<ColumnMatch> matchHeadings(const std::vector<std::string>& headings, int typeCode) {
    const auto candidates = candidatesOf(typeCode);
    std::vector<Found> found;
    for (const auto& heading : headings)
        found.push_back(matchOne(heading, candidates));

    // Each label to its surest column; the leftmost of equals.
    std::map<const Candidate*, std::size_t> owner;
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (!found[i].candidate)
            continue;
        auto [it, fresh] = owner.emplace(found[i].candidate, i);
        const Found& held = found[it->second];
        if (!fresh && (found[i].confidence > held.confidence ||
                       (found[i].confidence == held.confidence && found[i].score > held.score)))
            it->second = i;
    }
    std::vector<ColumnMatch> out;
    for (std::size_t i = 0; i < found.size(); ++i) {
        ColumnMatch m;
        m.heading = headings[i];
        const Found& f = found[i];
        if (f.candidate && owner[f.candidate] == i) {
            m.label = f.candidate->label;
            m.confidence = f.confidence;
        } else if (f.candidate) {
            const std::size_t winner = owner[f.candidate];
            m.note = "also matches " + quoted(f.candidate->label) + ", given to column " +
                     std::to_string(winner + 1) + " " + quoted(headings[winner]);
        } else {
            m.note = f.note;
        }
        out.push_back(std::move(m));
    }
    return out;
}

std::vector<std::string> arrangedList(const std::vector<std::string>& chosen) {
    std::vector<std::string> out;
    for (const auto& label : chosen)
        out.push_back(label.empty() ? kNotImportedLabel : label);
    return out;
}

std::vector<std::string> missingMandatory(const std::vector<std::string>& chosen, int typeCode) {
    std::vector<std::string> out;
    for (const auto& label : defaultFieldList(typeCode))
        if (!isOptionalLabel(label) &&
            std::find(chosen.begin(), chosen.end(), label) == chosen.end())
            out.push_back(label);
    return out;
}

const char* confidenceText(MatchConfidence confidence) {
    switch (confidence) {
    case MatchConfidence::Exact:
        return "Exact";
    case MatchConfidence::Known:
        return "Common name";
    case MatchConfidence::Guess:
        return "Guess";
    case MatchConfidence::None:
        break;
    }
    return "No match";
}

} // namespace formats
