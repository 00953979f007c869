#include "jet/SchemaSql.h"

#include "jet/Error.h"
#include "jet/TableDef.h"
#include "jet/Value.h"

#include <map>
#include <optional>

namespace jet {
namespace {

// ASCII only: the C library's character classes follow the user's locale, and under a
// single-byte one they would change the bytes of UTF-8 names.
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Letters, '_' and every byte of a multi-byte character.
bool isWordStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

struct Token {
    enum Kind { Word, Name, Number, Punct, End } kind = End;
    std::string text; // Word: upper case; Name: as written (UTF-8); Punct: the character
    int line = 1;
};

class Lexer {
public:
    explicit Lexer(std::string_view s) : s_(s) {}

    Token next() {
        skipBlanks();
        Token t;
        t.line = line_;
        if (pos_ >= s_.size())
            return t;
        char c = s_[pos_];
        if (c == '[') {
            std::size_t close = s_.find(']', pos_ + 1);
            if (close == std::string_view::npos)
                fail("a name in brackets is not closed with ']'");
            t.kind = Token::Name;
            t.text = std::string(s_.substr(pos_ + 1, close - pos_ - 1));
            for (char ch : t.text)
                if (ch == '\n')
                    fail("a name in brackets runs over the end of the line");
            pos_ = close + 1;
            return t;
        }
        if (isDigit(c)) {
            t.kind = Token::Number;
            while (pos_ < s_.size() && isDigit(s_[pos_]))
                t.text += s_[pos_++];
            return t;
        }
        if (isWordStart(c)) {
            t.kind = Token::Word;
            std::string raw;
            while (pos_ < s_.size() && (isWordStart(s_[pos_]) || isDigit(s_[pos_])))
                raw += s_[pos_++];
            t.text = raw;
            return t;
        }
        if (c == '(' || c == ')' || c == ',' || c == ';') {
            t.kind = Token::Punct;
            t.text = std::string(1, c);
            ++pos_;
            return t;
        }
        fail(std::string("unexpected character '") + c + "'");
    }

    [[noreturn]] void fail(const std::string& why) const {
        throw Error("line " + std::to_string(line_) + ": " + why);
    }

private:
    void skipBlanks() {
        while (pos_ < s_.size()) {
            char c = s_[pos_];
            if (c == '\n') {
                ++line_;
                ++pos_;
            } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f') {
                ++pos_;
            } else if (c == '-' && pos_ + 1 < s_.size() && s_[pos_ + 1] == '-') {
                while (pos_ < s_.size() && s_[pos_] != '\n')
                    ++pos_;
            } else {
                return;
            }
        }
    }

    std::string_view s_;
    std::size_t pos_ = 0;
    int line_ = 1;
};

std::string upper(std::string s) {
    for (auto& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

struct TypeInfo {
    ColumnType type;
    bool autoNumber = false;
    int arguments = 0; // 0 none, 1 optional size, 2 optional precision and scale
};

const std::map<std::string, TypeInfo>& typeNames() {
    using T = ColumnType;
    static const std::map<std::string, TypeInfo> names{
        {"TEXT", {T::Text, false, 1}},
        {"VARCHAR", {T::Text, false, 1}},
        {"CHAR", {T::Text, false, 1}},
        {"MEMO", {T::Memo}},
        {"LONGTEXT", {T::Memo}},
        {"BYTE", {T::Byte}},
        {"TINYINT", {T::Byte}},
        {"SHORT", {T::Int}},
        {"SMALLINT", {T::Int}},
        {"LONG", {T::Long}},
        {"INTEGER", {T::Long}},
        {"INT", {T::Long}},
        {"SINGLE", {T::Float}},
        {"REAL", {T::Float}},
        {"DOUBLE", {T::Double}},
        {"FLOAT", {T::Double}},
        {"CURRENCY", {T::Money}},
        {"MONEY", {T::Money}},
        {"DATETIME", {T::DateTime}},
        {"DATE", {T::DateTime}},
        {"YESNO", {T::Boolean}},
        {"BIT", {T::Boolean}},
        {"LOGICAL", {T::Boolean}},
        {"BOOLEAN", {T::Boolean}},
        {"COUNTER", {T::Long, true}},
        {"AUTOINCREMENT", {T::Long, true}},
        {"BINARY", {T::Binary, false, 1}},
        {"VARBINARY", {T::Binary, false, 1}},
        {"LONGBINARY", {T::Ole}},
        {"OLEOBJECT", {T::Ole}},
        {"GUID", {T::Guid}},
        {"UNIQUEIDENTIFIER", {T::Guid}},
        {"DECIMAL", {T::Numeric, false, 2}},
        {"NUMERIC", {T::Numeric, false, 2}},
    };
    return names;
}

class Parser {
public:
    explicit Parser(std::string_view s) : lex_(s) { advance(); }

    std::vector<NewTable> run() {
        while (tok_.kind != Token::End) {
            if (isPunct(";")) {
                advance();
                continue;
            }
            statement();
        }
        return tables_;
    }

private:
    void advance() { tok_ = lex_.next(); }
    [[noreturn]] void fail(const std::string& why) const {
        throw Error("line " + std::to_string(tok_.line) + ": " + why);
    }
    std::string shown() const {
        switch (tok_.kind) {
        case Token::End:
            return "the end of the text";
        case Token::Name:
            return "[" + tok_.text + "]";
        default:
            return "'" + tok_.text + "'";
        }
    }
    bool isWord(const char* w) const { return tok_.kind == Token::Word && upper(tok_.text) == w; }
    bool isPunct(const char* p) const { return tok_.kind == Token::Punct && tok_.text == p; }
    void expectWord(const char* w) {
        if (!isWord(w))
            fail(std::string("expected ") + w + ", found " + shown());
        advance();
    }
    void expectPunct(const char* p) {
        if (!isPunct(p))
            fail(std::string("expected '") + p + "', found " + shown());
        advance();
    }
    std::u16string name(const char* what) {
        if (tok_.kind != Token::Name && tok_.kind != Token::Word)
            fail(std::string("expected ") + what + ", found " + shown());
        std::u16string n = utf16(tok_.text);
        advance();
        return n;
    }
    unsigned number(const char* what) {
        if (tok_.kind != Token::Number || tok_.text.size() > 6)
            fail(std::string("expected ") + what + ", found " + shown());
        unsigned n = static_cast<unsigned>(std::stoul(tok_.text));
        advance();
        return n;
    }

    void statement() {
        expectWord("CREATE");
        if (isWord("TABLE")) {
            advance();
            createTable();
        } else {
            bool unique = false;
            if (isWord("UNIQUE")) {
                unique = true;
                advance();
            }
            if (!isWord("INDEX"))
                fail("expected TABLE, INDEX or UNIQUE INDEX after CREATE, found " + shown());
            advance();
            createIndex(unique);
        }
        if (!isPunct(";") && tok_.kind != Token::End)
            fail("expected ';' after the statement, found " + shown());
    }

    NewTable* findTable(std::u16string_view n) {
        for (auto& t : tables_)
            if (sameName(t.name, n))
                return &t;
        return nullptr;
    }

    std::vector<NewIndexColumn> indexColumns() {
        std::vector<NewIndexColumn> cols;
        expectPunct("(");
        while (true) {
            NewIndexColumn c;
            c.name = name("a column name");
            if (isWord("ASC")) {
                advance();
            } else if (isWord("DESC")) {
                c.ascending = false;
                advance();
            }
            cols.push_back(std::move(c));
            if (isPunct(")"))
                break;
            expectPunct(",");
        }
        advance();
        return cols;
    }

    void createTable() {
        int line = tok_.line;
        NewTable t;
        t.name = name("a table name");
        if (findTable(t.name))
            throw Error("line " + std::to_string(line) + ": table '" + utf8(t.name) +
                        "' is created twice");
        expectPunct("(");
        while (true) {
            if (isWord("CONSTRAINT")) {
                advance();
                NewIndex i;
                i.name = name("a constraint name");
                if (isWord("PRIMARY")) {
                    advance();
                    expectWord("KEY");
                    i.primaryKey = true;
                } else if (isWord("UNIQUE")) {
                    advance();
                    i.unique = true;
                } else {
                    fail("expected PRIMARY KEY or UNIQUE, found " + shown());
                }
                i.columns = indexColumns();
                t.indexes.push_back(std::move(i));
            } else {
                t.columns.push_back(column());
            }
            if (isPunct(")"))
                break;
            expectPunct(",");
        }
        advance();
        tables_.push_back(std::move(t));
    }

    NewColumn column() {
        NewColumn c;
        c.name = name("a column name");
        if (tok_.kind != Token::Word)
            fail("expected the type of column '" + utf8(c.name) + "', found " + shown());
        auto it = typeNames().find(upper(tok_.text));
        if (it == typeNames().end())
            fail("unknown type " + shown() + " for column '" + utf8(c.name) + "'");
        const TypeInfo& ti = it->second;
        advance();
        c.type = ti.type;
        c.autoNumber = ti.autoNumber;
        if (isPunct("(")) {
            if (ti.arguments == 0)
                fail("type of column '" + utf8(c.name) + "' takes no size");
            advance();
            unsigned a = number("a size");
            if (ti.arguments == 1) {
                if (a < 1 || a > 255)
                    fail("size " + std::to_string(a) + " of column '" + utf8(c.name) +
                         "' is out of range (1 to 255)");
                c.size = static_cast<std::uint16_t>(a);
            } else {
                unsigned s = 0;
                if (isPunct(",")) {
                    advance();
                    s = number("a scale");
                }
                if (a < 1 || a > 28 || s > a)
                    fail("precision and scale of column '" + utf8(c.name) + "' are out of range");
                c.precision = static_cast<std::uint8_t>(a);
                c.scale = static_cast<std::uint8_t>(s);
            }
            expectPunct(")");
        }
        if (isWord("NOT")) {
            advance();
            expectWord("NULL");
            c.required = true;
        } else if (isWord("NULL")) {
            advance();
        }
        return c;
    }

    void createIndex(bool unique) {
        NewIndex i;
        i.unique = unique;
        i.name = name("an index name");
        expectWord("ON");
        int line = tok_.line;
        std::u16string table = name("a table name");
        NewTable* t = findTable(table);
        if (!t)
            throw Error("line " + std::to_string(line) + ": index '" + utf8(i.name) +
                        "' is on table '" + utf8(table) + "', which the text does not create");
        i.columns = indexColumns();
        if (isWord("WITH")) {
            advance();
            bool any = false;
            while (true) {
                if (isWord("PRIMARY")) {
                    i.primaryKey = true;
                } else if (isWord("DISALLOW")) {
                    advance();
                    if (!isWord("NULL"))
                        fail("expected NULL after DISALLOW, found " + shown());
                    i.disallowNull = true;
                } else if (isWord("IGNORE")) {
                    advance();
                    if (!isWord("NULL"))
                        fail("expected NULL after IGNORE, found " + shown());
                    i.ignoreNulls = true;
                } else {
                    break;
                }
                any = true;
                advance();
            }
            if (!any)
                fail("expected PRIMARY, DISALLOW NULL or IGNORE NULL after WITH, found " + shown());
        }
        t->indexes.push_back(std::move(i));
    }

    Lexer lex_;
    Token tok_;
    std::vector<NewTable> tables_;
};

} // namespace

std::vector<NewTable> parseSchemaSql(std::string_view sql) {
    return Parser(sql).run();
}

Database createFromSchemaSql(const std::filesystem::path& path, std::string_view sqlUtf8) {
    const auto tables = parseSchemaSql(sqlUtf8);
    createDatabase(path);
    try {
        auto db = Database::OpenDatabase(path);
        for (const auto& t : tables)
            createTable(db, t);
        return db;
    } catch (...) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
        throw;
    }
}

} // namespace jet
