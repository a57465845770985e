// A device rule of the USB policy daemon, read token by token in one bounded pass: words, quoted
// strings with their escapes, and sets in braces. Nothing recurses and every step moves forward.
#include "app/linux/DeviceRule.h"

#include <charconv>

namespace vantrel {
namespace {

bool space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

struct Token {
    enum Kind : std::uint8_t { end, word, string, open, close, bad };
    Kind kind = end;
    std::string text;
};

class Tokens {
  public:
    explicit Tokens(std::string_view text) : text_(text) {}

    Token next() {
        while (at_ < text_.size() && space(text_[at_])) {
            ++at_;
        }
        if (at_ >= text_.size()) {
            return {};
        }
        const char c = text_[at_];
        if (c == '{' || c == '}') {
            ++at_;
            return {c == '{' ? Token::open : Token::close, {}};
        }
        if (c == '"') {
            return quoted();
        }
        const std::size_t start = at_;
        while (at_ < text_.size() && !space(text_[at_]) && text_[at_] != '"' && text_[at_] != '{' &&
               text_[at_] != '}') {
            ++at_;
        }
        return {Token::word, std::string(text_.substr(start, at_ - start))};
    }

  private:
    // A string after its opening quote: \" \\ \xHH, octal \NNN and the C letters; any other
    // escaped character stands for itself. None (bad) when the closing quote is missing.
    Token quoted() {
        ++at_;
        Token token{Token::string, {}};
        while (at_ < text_.size()) {
            const char c = text_[at_++];
            if (c == '"') {
                return token;
            }
            if (c != '\\') {
                token.text.push_back(c);
                continue;
            }
            if (at_ >= text_.size()) {
                break;
            }
            const char e = text_[at_++];
            if (e == 'x' && at_ + 1 < text_.size() && hexDigit(text_[at_]) >= 0 &&
                hexDigit(text_[at_ + 1]) >= 0) {
                token.text.push_back(
                    static_cast<char>(hexDigit(text_[at_]) * 16 + hexDigit(text_[at_ + 1])));
                at_ += 2;
            } else if (e >= '0' && e <= '7') {
                unsigned value = static_cast<unsigned>(e - '0');
                for (int i = 0;
                     i < 2 && at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '7'; ++i) {
                    value = value * 8 + static_cast<unsigned>(text_[at_++] - '0');
                }
                token.text.push_back(static_cast<char>(value & 0xFF));
            } else {
                const std::string_view letters = "abfnrtv";
                const std::string_view codes = "\a\b\f\n\r\t\v";
                const std::size_t letter = letters.find(e);
                token.text.push_back(letter == std::string_view::npos ? e : codes[letter]);
            }
        }
        return {Token::bad, {}};
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

bool setOperator(const std::string& word) {
    return word == "all-of" || word == "one-of" || word == "none-of" || word == "equals" ||
           word == "equals-ordered" || word == "match-all";
}

// "05f3" or "*" as the daemon writes an id half.
bool idPart(std::string_view text) {
    if (text == "*") {
        return true;
    }
    if (text.size() != 4) {
        return false;
    }
    for (const char c : text) {
        if (hexDigit(c) < 0) {
            return false;
        }
    }
    return true;
}

std::optional<std::array<std::uint16_t, 3>> interfaceType(std::string_view text) {
    std::array<std::uint16_t, 3> parts{};
    for (std::size_t i = 0; i < 3; ++i) {
        const std::size_t colon = text.find(':');
        const std::string_view part = text.substr(0, i < 2 ? colon : std::string_view::npos);
        if ((i < 2 && colon == std::string_view::npos) || part.empty() || part.size() > 2) {
            return std::nullopt;
        }
        if (part == "*") {
            parts[i] = 0xFFFF;
        } else {
            unsigned value = 0;
            const auto [end, error] =
                std::from_chars(part.data(), part.data() + part.size(), value, 16);
            if (error != std::errc() || end != part.data() + part.size()) {
                return std::nullopt;
            }
            parts[i] = static_cast<std::uint16_t>(value);
        }
        text = i < 2 ? text.substr(colon + 1) : std::string_view();
    }
    return parts;
}

} // namespace

std::optional<DeviceRule> DeviceRule::parse(std::string_view text) {
    if (text.size() > lengthLimit) {
        return std::nullopt;
    }
    Tokens tokens(text);
    Token token = tokens.next();
    DeviceRule rule;
    if (token.kind != Token::word) {
        return std::nullopt;
    }
    if (token.text == "allow") {
        rule.target = Target::allow;
    } else if (token.text == "block") {
        rule.target = Target::block;
    } else if (token.text == "reject") {
        rule.target = Target::reject;
    } else {
        return std::nullopt;
    }

    for (token = tokens.next(); token.kind != Token::end;) {
        if (token.kind != Token::word) {
            return std::nullopt;
        }
        const std::string attribute = token.text;
        if (attribute == "if") {
            break; // a condition: nothing of the device is in it
        }
        token = tokens.next();
        bool excluding = false; // none-of: the values are what the device is not
        if (token.kind == Token::word && setOperator(token.text)) {
            excluding = token.text == "none-of";
            token = tokens.next();
        }
        // The attribute's values: one token, or every token of a set.
        std::vector<Token> values;
        if (token.kind == Token::open) {
            for (token = tokens.next(); token.kind == Token::word || token.kind == Token::string;
                 token = tokens.next()) {
                if (values.size() < interfaceLimit) {
                    values.push_back(std::move(token));
                }
            }
            if (token.kind != Token::close) {
                return std::nullopt;
            }
        } else if (token.kind == Token::word || token.kind == Token::string) {
            values.push_back(std::move(token));
        } else {
            return std::nullopt;
        }
        token = tokens.next();

        const auto single = [&]() -> const Token* {
            return values.size() == 1 ? &values.front() : nullptr;
        };
        if (attribute == "id") {
            const Token* id = single();
            if (id == nullptr || excluding) {
                continue; // one of several ids: no id of this device
            }
            const std::size_t colon = id->text.find(':');
            if (colon == std::string::npos ||
                !idPart(std::string_view(id->text).substr(0, colon)) ||
                !idPart(std::string_view(id->text).substr(colon + 1))) {
                return std::nullopt;
            }
            rule.vendorID = id->text.substr(0, colon);
            rule.productID = id->text.substr(colon + 1);
        } else if (attribute == "with-interface") {
            for (const Token& value : values) {
                const auto type = interfaceType(value.text);
                if (value.kind != Token::word || !type) {
                    return std::nullopt;
                }
                rule.interfaces.push_back(*type);
            }
        } else {
            std::string* field = attribute == "serial"              ? &rule.serial
                                 : attribute == "name"              ? &rule.name
                                 : attribute == "hash"              ? &rule.hash
                                 : attribute == "parent-hash"       ? &rule.parentHash
                                 : attribute == "via-port"          ? &rule.viaPort
                                 : attribute == "with-connect-type" ? &rule.connectType
                                                                    : nullptr;
            const Token* value = single();
            if (field != nullptr && value != nullptr && value->kind == Token::string &&
                !excluding) {
                *field = value->text;
            }
        }
    }
    return rule;
}

} // namespace vantrel
