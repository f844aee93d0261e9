#include "MofChecker.h"

#include <cctype>
#include <stdexcept>

namespace e2e {

namespace {

bool IsControl(char c) {
    const unsigned char byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

class Reader {
public:
    explicit Reader(const std::string& text) : text_(text) {}

    MofDocument Read() {
        MofDocument document;
        for (SkipBlanks(); pos_ < text_.size(); SkipBlanks()) {
            if (Peek("//")) {
                document.comments.push_back(Comment());
            } else {
                document.instances.push_back(Instance());
            }
        }
        return document;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const {
        std::size_t line = 1;
        for (std::size_t i = 0; i < pos_ && i < text_.size(); ++i) {
            line += text_[i] == '\n' ? 1 : 0;
        }
        throw std::runtime_error("line " + std::to_string(line) + ": " + what);
    }

    bool Peek(const std::string& token) const { return text_.compare(pos_, token.size(), token) == 0; }

    void Expect(const std::string& token) {
        if (!Peek(token)) {
            Fail("expected \"" + token + "\"");
        }
        pos_ += token.size();
    }

    // Spaces and line ends only: a report holds no tabs or carriage returns
    // outside strings, where they are escaped.
    void SkipBlanks() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\n')) {
            ++pos_;
        }
    }

    std::string Comment() {
        Expect("// ");
        const std::size_t end = text_.find('\n', pos_);
        if (end == std::string::npos) {
            Fail("a comment line does not end with a line end");
        }
        std::string comment = text_.substr(pos_, end - pos_);
        for (const char c : comment) {
            if (IsControl(c)) {
                Fail("a raw control character in a comment");
            }
        }
        pos_ = end + 1;
        return comment;
    }

    std::string Identifier() {
        const std::size_t start = pos_;
        while (pos_ < text_.size() &&
               (std::isalnum(static_cast<unsigned char>(text_[pos_])) != 0 || text_[pos_] == '_')) {
            ++pos_;
        }
        if (pos_ == start || std::isdigit(static_cast<unsigned char>(text_[start])) != 0) {
            Fail("expected a name");
        }
        return text_.substr(start, pos_ - start);
    }

    MofInstance Instance() {
        MofInstance instance;
        Expect("instance of ");
        instance.className = Identifier();
        SkipBlanks();
        Expect("{");
        for (SkipBlanks(); !Peek("}"); SkipBlanks()) {
            if (pos_ >= text_.size()) {
                Fail("the instance block of " + instance.className + " is not closed");
            }
            std::string name = Identifier();
            Expect(" = ");
            MofValue value = Value();
            Expect(";");
            instance.properties.emplace_back(std::move(name), std::move(value));
        }
        Expect("};");
        if (pos_ < text_.size() && text_[pos_] != '\n') {
            Fail("text after the end of an instance block");
        }
        return instance;
    }

    MofValue Value() {
        MofValue value;
        if (Peek("\"")) {
            value.kind = MofValue::kString;
            value.text = String();
        } else if (Peek("NULL")) {
            pos_ += 4;
        } else if (Peek("{")) {
            value.kind = MofValue::kArray;
            ++pos_;
            SkipBlanks();
            while (!Peek("}")) {
                if (!value.elements.empty()) {
                    Expect(",");
                    SkipBlanks();
                }
                value.elements.push_back(Value());
                SkipBlanks();
            }
            ++pos_;
        } else {
            value.kind = MofValue::kNumber;
            const std::size_t start = pos_;
            while (pos_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_])) != 0) {
                ++pos_;
            }
            if (pos_ == start) {
                Fail("expected a value");
            }
            value.text = text_.substr(start, pos_ - start);
        }
        return value;
    }

    std::string String() {
        Expect("\"");
        std::string decoded;
        for (;;) {
            if (pos_ >= text_.size()) {
                Fail("a string is not closed");
            }
            const char c = text_[pos_++];
            if (c == '"') {
                return decoded;
            }
            if (IsControl(c)) {
                Fail("a raw control character in a string");
            }
            if (c != '\\') {
                decoded += c;
                continue;
            }
            if (pos_ >= text_.size()) {
                Fail("a string ends in a backslash");
            }
            const char escape = text_[pos_++];
            switch (escape) {
                case '\\': decoded += '\\'; break;
                case '"': decoded += '"'; break;
                case 'n': decoded += '\n'; break;
                case 'r': decoded += '\r'; break;
                case 't': decoded += '\t'; break;
                case 'b': decoded += '\b'; break;
                case 'f': decoded += '\f'; break;
                case 'x': decoded += static_cast<char>(HexCode()); break;
                default: Fail(std::string("an unknown escape \\") + escape);
            }
        }
    }

    // \xHHHH: the report escapes only control characters this way, so the
    // code must be one.
    unsigned int HexCode() {
        unsigned int code = 0;
        for (int i = 0; i < 4; ++i) {
            if (pos_ >= text_.size() || std::isxdigit(static_cast<unsigned char>(text_[pos_])) == 0) {
                Fail("\\x needs four hexadecimal digits");
            }
            const char digit = text_[pos_++];
            code = code * 16 + static_cast<unsigned int>(std::isdigit(static_cast<unsigned char>(digit)) != 0
                                                             ? digit - '0'
                                                             : std::toupper(static_cast<unsigned char>(digit)) - 'A' + 10);
        }
        if (code >= 0x20 && code != 0x7F) {
            Fail("\\x escapes a character that needs no escape");
        }
        return code;
    }

    const std::string& text_;
    std::size_t pos_ = 0;
};

}  // namespace

MofDocument ReadMofReport(const std::string& text) { return Reader(text).Read(); }

}  // namespace e2e
