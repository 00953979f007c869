#include "jet/Query.h"

#include "base/Numbers.h"
#include "jet/Error.h"
#include "jet/TableDef.h"

#include <cstdint>
#include <limits>

namespace jet {
namespace {

class Lexer {
public:
    Lexer(std::u16string_view s, std::string context) : s_(s), context_(std::move(context)) {}

    void skipBlanks() {
        while (i_ < s_.size() &&
               (s_[i_] == u' ' || s_[i_] == u'\t' || s_[i_] == u'\r' || s_[i_] == u'\n'))
            ++i_;
    }
    bool atEnd() {
        skipBlanks();
        return i_ >= s_.size();
    }
    [[noreturn]] void fail(const std::string& what) {
        throw Error(context_ + ": " + what + " at position " + std::to_string(i_ + 1));
    }
    // Case-insensitive keyword followed by a blank or the end.
    bool keyword(std::u16string_view kw) {
        skipBlanks();
        if (s_.size() - i_ < kw.size() || !sameName(s_.substr(i_, kw.size()), kw))
            return false;
        std::size_t after = i_ + kw.size();
        if (after < s_.size() && (isWordChar(s_[after]) || s_[after] == u'*'))
            return false;
        i_ = after;
        return true;
    }
    bool symbol(char16_t c) {
        skipBlanks();
        if (i_ < s_.size() && s_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }
    std::u16string name() {
        skipBlanks();
        if (i_ < s_.size() && s_[i_] == u'[') {
            std::size_t close = s_.find(u']', i_);
            if (close == std::u16string_view::npos)
                fail("unclosed [");
            std::u16string n(s_.substr(i_ + 1, close - i_ - 1));
            i_ = close + 1;
            return n;
        }
        std::size_t start = i_;
        while (i_ < s_.size() && isWordChar(s_[i_]))
            ++i_;
        if (start == i_)
            fail("a name is expected");
        return std::u16string(s_.substr(start, i_ - start));
    }
    Value literal() {
        skipBlanks();
        if (i_ >= s_.size())
            fail("a value is expected");
        char16_t q = s_[i_];
        if (q == u'\'' || q == u'"') {
            std::u16string text;
            ++i_;
            while (true) {
                if (i_ >= s_.size())
                    fail("unclosed quote");
                if (s_[i_] == q) {
                    if (i_ + 1 < s_.size() && s_[i_ + 1] == q) { // doubled quote inside
                        text += q;
                        i_ += 2;
                        continue;
                    }
                    ++i_;
                    break;
                }
                text += s_[i_++];
            }
            return text;
        }
        std::string num;
        while (i_ < s_.size() &&
               ((s_[i_] >= u'0' && s_[i_] <= u'9') || s_[i_] == u'-' || s_[i_] == u'+' ||
                s_[i_] == u'.' || s_[i_] == u'e' || s_[i_] == u'E'))
            num += static_cast<char>(s_[i_++]);
        if (num.empty())
            fail("a number or a quoted text is expected");
        using Long = std::numeric_limits<std::int32_t>;
        if (auto whole = numbers::parseInteger(num);
            whole && *whole >= Long::min() && *whole <= Long::max())
            return static_cast<std::int32_t>(*whole);
        if (auto d = numbers::parseDouble(num))
            return *d;
        fail("'" + num + "' is not a number");
    }

private:
    static bool isWordChar(char16_t c) {
        return c == u'_' || (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') ||
               (c >= u'A' && c <= u'Z') || c >= 0x80;
    }
    std::u16string_view s_;
    std::string context_;
    std::size_t i_ = 0;
};

std::vector<Condition> conditions(Lexer& lx) {
    std::vector<Condition> out;
    do {
        Condition c;
        c.column = lx.name();
        if (!lx.symbol(u'='))
            lx.fail("'=' is expected");
        c.literal = lx.literal();
        out.push_back(std::move(c));
    } while (lx.keyword(u"AND"));
    if (!lx.atEnd())
        lx.fail("unexpected text");
    return out;
}

} // namespace

Query parseSource(std::u16string_view source) {
    Lexer lx(source, "query '" + utf8(source) + "'");
    Query q;
    if (lx.keyword(u"SELECT")) {
        if (!lx.symbol(u'*'))
            lx.fail("only SELECT * is supported");
        if (!lx.keyword(u"FROM"))
            lx.fail("FROM is expected");
        q.table = lx.name();
        if (lx.atEnd())
            return q;
        if (!lx.keyword(u"WHERE"))
            lx.fail("WHERE is expected");
        q.where = conditions(lx);
        return q;
    }
    // A bare table name, possibly in brackets or with blanks.
    std::u16string_view s = source;
    while (!s.empty() && s.front() == u' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == u' ')
        s.remove_suffix(1);
    if (s.size() >= 2 && s.front() == u'[' && s.back() == u']')
        s = s.substr(1, s.size() - 2);
    if (s.empty())
        throw Error("query '': a table name is expected");
    q.table = std::u16string(s);
    return q;
}

std::vector<Condition> parseCriteria(std::u16string_view criteria) {
    Lexer lx(criteria, "criteria '" + utf8(criteria) + "'");
    if (lx.atEnd())
        lx.fail("a condition is expected");
    return conditions(lx);
}

bool matches(const Value& stored, const Value& literal) {
    if (isNull(stored) || isNull(literal))
        return false;
    if (const auto* lt = std::get_if<std::u16string>(&literal)) {
        if (const auto* st = std::get_if<std::u16string>(&stored))
            return sameName(*st, *lt);
        // A quoted number compared with a number column: compare as numbers.
        auto d = numbers::parseDouble(utf8(*lt));
        auto sv = numberOf(stored);
        return sv && d && *sv == *d;
    }
    auto ln = numberOf(literal);
    if (const auto* st = std::get_if<std::u16string>(&stored)) {
        auto d = numbers::parseDouble(utf8(*st));
        return ln && d && *d == *ln;
    }
    auto sn = numberOf(stored);
    if (!sn || !ln)
        return false;
    // A single compared with a decimal literal: compare at single precision, as Access does.
    if (std::holds_alternative<float>(stored))
        return static_cast<float>(*ln) == static_cast<float>(*sn);
    return *sn == *ln;
}

} // namespace jet
