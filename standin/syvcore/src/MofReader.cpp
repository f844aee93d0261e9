#include "MofReader.h"

#include "host/TSYVException.h"

#include <cctype>
#include <set>

namespace syv {
namespace detail {

namespace {

using NORNSYV20::ECIMType;

enum class TokenKind { Identifier, String, Number, Punctuation, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;  // a string token holds its unescaped content
    int line = 0;
};

bool IsIdentifierStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentifierChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// MOF keywords are case-insensitive; names (classes, properties) are kept
// exactly as written.
bool IsKeyword(const Token& token, const char* keyword) {
    return token.kind == TokenKind::Identifier && Lower(token.text) == keyword;
}

class Lexer {
public:
    Lexer(const std::string& text, const std::string& fileName) : text_(text), fileName_(fileName) {}

    [[noreturn]] void Fail(int line, const std::string& message) const {
        throw NORNSYV20::TSYVException(NORNSYV20::TSYVStatusCode(NORNSYV20::TSYVStatusCode::kSchemaError),
                                       fileName_ + ":" + std::to_string(line) + ": " + message);
    }

    Token Next() {
        SkipSpaceAndComments();
        Token token;
        token.line = line_;
        if (pos_ >= text_.size()) return token;
        const char c = text_[pos_];
        if (IsIdentifierStart(c)) {
            token.kind = TokenKind::Identifier;
            while (pos_ < text_.size() && IsIdentifierChar(text_[pos_])) token.text += text_[pos_++];
        } else if (IsDigit(c) || ((c == '-' || c == '+') && pos_ + 1 < text_.size() && IsDigit(text_[pos_ + 1]))) {
            token.kind = TokenKind::Number;
            token.text += text_[pos_++];
            while (pos_ < text_.size() && (IsDigit(text_[pos_]) || text_[pos_] == '.')) token.text += text_[pos_++];
        } else if (c == '"') {
            token.kind = TokenKind::String;
            token.text = ReadString();
        } else if (std::string("[](){},;:=#").find(c) != std::string::npos) {
            token.kind = TokenKind::Punctuation;
            token.text = std::string(1, c);
            ++pos_;
        } else {
            Fail(line_, std::string("unexpected character '") + c + "'");
        }
        return token;
    }

private:
    void SkipSpaceAndComments() {
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (c == '\n') {
                ++line_;
                ++pos_;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                ++pos_;
            } else if (text_.compare(pos_, 2, "//") == 0) {
                while (pos_ < text_.size() && text_[pos_] != '\n') ++pos_;
            } else if (text_.compare(pos_, 2, "/*") == 0) {
                const int startLine = line_;
                pos_ += 2;
                while (pos_ < text_.size() && text_.compare(pos_, 2, "*/") != 0) {
                    if (text_[pos_] == '\n') ++line_;
                    ++pos_;
                }
                if (pos_ >= text_.size()) Fail(startLine, "unterminated comment");
                pos_ += 2;
            } else {
                return;
            }
        }
    }

    std::string ReadString() {
        const int startLine = line_;
        std::string value;
        ++pos_;  // the opening quote
        while (true) {
            if (pos_ >= text_.size() || text_[pos_] == '\n') Fail(startLine, "unterminated string");
            const char c = text_[pos_++];
            if (c == '"') return value;
            if (c != '\\') {
                value += c;
                continue;
            }
            if (pos_ >= text_.size()) Fail(startLine, "unterminated string");
            const char escaped = text_[pos_++];
            switch (escaped) {
            case 'n': value += '\n'; break;
            case 't': value += '\t'; break;
            case 'r': value += '\r'; break;
            case 'b': value += '\b'; break;
            case 'f': value += '\f'; break;
            case '"': case '\'': case '\\': value += escaped; break;
            default: Fail(line_, std::string("unknown escape '\\") + escaped + "' in string");
            }
        }
    }

    const std::string& text_;
    const std::string& fileName_;
    std::size_t pos_ = 0;
    int line_ = 1;
};

struct Qualifiers {
    bool key = false;
    bool association = false;
};

class Parser {
public:
    Parser(const std::string& text, const std::string& fileName) : lexer_(text, fileName) { Advance(); }

    std::vector<ClassDefinition> ParseFile(const std::string& fileName) {
        std::vector<ClassDefinition> classes;
        while (current_.kind != TokenKind::End) {
            if (IsPunctuation("#")) {
                ParsePragma();
                continue;
            }
            const Qualifiers qualifiers = ParseQualifierList();
            if (IsKeyword(current_, "instance")) Fail("instance declarations are not supported");
            if (!IsKeyword(current_, "class")) Fail("expected 'class', found " + Describe(current_));
            classes.push_back(ParseClass(qualifiers, fileName));
        }
        return classes;
    }

private:
    [[noreturn]] void Fail(const std::string& message) const { lexer_.Fail(current_.line, message); }

    static std::string Describe(const Token& token) {
        switch (token.kind) {
        case TokenKind::End: return "the end of the file";
        case TokenKind::String: return "a string";
        default: return "'" + token.text + "'";
        }
    }

    void Advance() { current_ = lexer_.Next(); }

    bool IsPunctuation(const char* text) const {
        return current_.kind == TokenKind::Punctuation && current_.text == text;
    }

    void Expect(const char* punctuation, const char* where) {
        if (!IsPunctuation(punctuation)) {
            Fail(std::string("expected '") + punctuation + "' " + where + ", found " + Describe(current_));
        }
        Advance();
    }

    Token ExpectIdentifier(const char* what) {
        if (current_.kind != TokenKind::Identifier) Fail(std::string("expected ") + what + ", found " + Describe(current_));
        Token token = current_;
        Advance();
        return token;
    }

    // #pragma name("value") : compiler directives, irrelevant to the definitions.
    void ParsePragma() {
        Advance();
        if (!IsKeyword(current_, "pragma")) Fail("expected 'pragma' after '#'");
        Advance();
        ExpectIdentifier("a pragma name");
        Expect("(", "after the pragma name");
        ParseValue();
        Expect(")", "after the pragma value");
    }

    // A constant: one or more adjacent strings, a number, or true/false/null.
    void ParseValue() {
        if (current_.kind == TokenKind::String) {
            while (current_.kind == TokenKind::String) Advance();
        } else if (current_.kind == TokenKind::Number || IsKeyword(current_, "true") || IsKeyword(current_, "false") ||
                   IsKeyword(current_, "null")) {
            Advance();
        } else {
            Fail("expected a value, found " + Describe(current_));
        }
    }

    // {value, ...}
    void ParseValueList(const char* where) {
        Expect("{", where);
        if (!IsPunctuation("}")) {
            ParseValue();
            while (IsPunctuation(",")) {
                Advance();
                ParseValue();
            }
        }
        Expect("}", "after the value list");
    }

    Qualifiers ParseQualifierList() {
        Qualifiers qualifiers;
        if (!IsPunctuation("[")) return qualifiers;
        Advance();
        while (true) {
            const Token name = ExpectIdentifier("a qualifier name");
            bool enabled = true;
            if (IsPunctuation("(")) {
                Advance();
                enabled = !IsKeyword(current_, "false");
                ParseValue();
                Expect(")", "after the qualifier value");
            } else if (IsPunctuation("{")) {
                ParseValueList("before the qualifier values");
            }
            if (IsPunctuation(":")) {  // flavors, e.g. ": ToSubclass"
                Advance();
                ExpectIdentifier("a qualifier flavor");
                while (current_.kind == TokenKind::Identifier) Advance();
            }
            const std::string lowered = Lower(name.text);
            if (lowered == "key") qualifiers.key = enabled;
            if (lowered == "association") qualifiers.association = enabled;
            if (IsPunctuation("]")) break;
            Expect(",", "between qualifiers");
        }
        Advance();
        return qualifiers;
    }

    static bool DataType(const std::string& keyword, ECIMType& type) {
        static const std::pair<const char*, ECIMType> kTypes[] = {
            {"uint8", NORNSYV20::eCIMTypeUint8},     {"sint8", NORNSYV20::eCIMTypeSint8},
            {"uint16", NORNSYV20::eCIMTypeUint16},   {"sint16", NORNSYV20::eCIMTypeSint16},
            {"uint32", NORNSYV20::eCIMTypeUint32},   {"sint32", NORNSYV20::eCIMTypeSint32},
            {"uint64", NORNSYV20::eCIMTypeUint64},   {"sint64", NORNSYV20::eCIMTypeSint64},
            {"real32", NORNSYV20::eCIMTypeReal32},   {"real64", NORNSYV20::eCIMTypeReal64},
            {"boolean", NORNSYV20::eCIMTypeBoolean}, {"char16", NORNSYV20::eCIMTypeChar16},
            {"string", NORNSYV20::eCIMTypeString},   {"datetime", NORNSYV20::eCIMTypeDateTime},
        };
        const std::string lowered = Lower(keyword);
        for (const auto& entry : kTypes) {
            if (lowered == entry.first) {
                type = entry.second;
                return true;
            }
        }
        return false;
    }

    ClassDefinition ParseClass(const Qualifiers& qualifiers, const std::string& fileName) {
        ClassDefinition cls;
        cls.file = fileName;
        cls.line = current_.line;
        cls.isAssociation = qualifiers.association;
        Advance();  // "class"
        cls.name = ExpectIdentifier("a class name").text;
        if (IsPunctuation(":")) {
            Advance();
            cls.superclass = ExpectIdentifier("a superclass name").text;
        }
        Expect("{", "to open the class body");
        std::set<std::string> declared;
        while (!IsPunctuation("}")) {
            if (current_.kind == TokenKind::End) Fail("class " + cls.name + " is not closed");
            PropertyDefinition property = ParseProperty();
            if (!declared.insert(property.name).second) {
                lexer_.Fail(property.line, "property " + property.name + " is declared twice in class " + cls.name);
            }
            cls.properties.push_back(property);
        }
        Advance();
        Expect(";", "after the class body");
        return cls;
    }

    PropertyDefinition ParseProperty() {
        const Qualifiers qualifiers = ParseQualifierList();
        PropertyDefinition property;
        property.line = current_.line;
        property.isKey = qualifiers.key;
        const Token typeToken = ExpectIdentifier("a property type");
        if (IsKeyword(current_, "ref")) {
            Advance();
            property.type = NORNSYV20::eCIMTypeReference;
            property.referenceClass = typeToken.text;
        } else if (!DataType(typeToken.text, property.type)) {
            lexer_.Fail(typeToken.line, "unknown type '" + typeToken.text + "'");
        }
        property.name = ExpectIdentifier("a property name").text;
        if (IsPunctuation("(")) Fail("methods are not supported (" + property.name + ")");
        if (IsPunctuation("[")) {
            if (property.type == NORNSYV20::eCIMTypeReference) Fail("a reference cannot be an array");
            Advance();
            if (current_.kind == TokenKind::Number) Advance();
            Expect("]", "to close the array size");
            property.isArray = true;
        }
        if (IsPunctuation("=")) {
            Advance();
            if (IsPunctuation("{")) {
                ParseValueList("before the default values");
            } else {
                ParseValue();
            }
        }
        Expect(";", "after the property declaration");
        return property;
    }

    Lexer lexer_;
    Token current_;
};

}  // namespace

std::vector<ClassDefinition> ReadMof(const std::string& text, const std::string& fileName) {
    Parser parser(text, fileName);
    return parser.ParseFile(fileName);
}

}  // namespace detail
}  // namespace syv
