// The bundles' string tables ("key" = "value";).
#include "StringsTable.h"

#include <macsim/TextEncoding.h>

#include <optional>

namespace macsim {

namespace {

class StringsTableReader {
public:
    explicit StringsTableReader(std::string_view text) : text_(text) {
        if (text_.starts_with("\xEF\xBB\xBF"))
            pos_ = 3;
    }

    std::map<std::string, std::string> read() {
        std::map<std::string, std::string> table;
        while (skipSpaceAndComments()) {
            std::size_t start = pos_;
            std::optional<std::string> key = quoted();
            bool ok = key && skipSpaceAndComments() && take('=') && skipSpaceAndComments();
            std::optional<std::string> value = ok ? quoted() : std::nullopt;
            ok = value && skipSpaceAndComments() && take(';');
            if (ok && isValidUtf8(*key) && isValidUtf8(*value)) {
                table[*key] = *value;
            } else if (!ok) {
                skipLine(start);
            }
        }
        return table;
    }

private:
    // False at the end of the text.
    bool skipSpaceAndComments() {
        while (pos_ < text_.size()) {
            char c = text_[pos_];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                ++pos_;
            } else if (text_.substr(pos_, 2) == "//") {
                std::size_t end = text_.find('\n', pos_);
                pos_ = end == std::string_view::npos ? text_.size() : end + 1;
            } else if (text_.substr(pos_, 2) == "/*") {
                std::size_t end = text_.find("*/", pos_ + 2);
                pos_ = end == std::string_view::npos ? text_.size() : end + 2;
            } else {
                return true;
            }
        }
        return false;
    }

    bool take(char c) {
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    // A quoted string; nothing when there is none here or it is not closed on its line.
    std::optional<std::string> quoted() {
        if (!take('"'))
            return std::nullopt;
        std::string out;
        while (pos_ < text_.size()) {
            char c = text_[pos_++];
            if (c == '"')
                return out;
            if (c == '\n')
                return std::nullopt;
            if (c == '\\' && pos_ < text_.size()) {
                char e = text_[pos_++];
                switch (e) {
                case 'n':
                    out += '\n';
                    break;
                case 't':
                    out += '\t';
                    break;
                default: // \" \\ and anything else stand for themselves
                    out += e;
                    break;
                }
            } else {
                out += c;
            }
        }
        return std::nullopt;
    }

    // Goes on after the line on which the bad entry began, unless reading it already went
    // further; either way the reader moves forward.
    void skipLine(std::size_t start) {
        std::size_t end = text_.find('\n', start);
        std::size_t next = end == std::string_view::npos ? text_.size() : end + 1;
        if (pos_ < next)
            pos_ = next;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

} // namespace

std::map<std::string, std::string> parseStringsTable(std::string_view text) {
    return StringsTableReader(text).read();
}

} // namespace macsim
