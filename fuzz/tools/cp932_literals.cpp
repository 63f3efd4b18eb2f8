// Copies a UTF-8 C++ source file, turning every non-ASCII character inside an
// ordinary narrow string or character literal into octal escapes of its
// code-page-932 bytes. The product is compiled with g++'s
// -fexec-charset=CP932, which clang does not offer; the fuzz build compiles
// the same sources with clang after this step, so the literals hold the same
// bytes in both builds. Comments, wide/u/U/u8 literals and raw strings are
// copied unchanged (a narrow raw string with non-ASCII text is refused).
//
// Usage: cp932_literals INPUT OUTPUT
#include <iconv.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace {

class Cp932Encoder {
public:
    Cp932Encoder() : handle_(iconv_open("CP932", "UTF-8")) {
        if (handle_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv has no CP932 conversion");
    }
    ~Cp932Encoder() { iconv_close(handle_); }
    Cp932Encoder(const Cp932Encoder&) = delete;
    Cp932Encoder& operator=(const Cp932Encoder&) = delete;

    // The cp932 bytes of one UTF-8 encoded character.
    std::string Encode(const std::string& utf8Character) {
        std::string input = utf8Character;
        std::string output(8, '\0');
        char* in = input.data();
        std::size_t inLeft = input.size();
        char* out = output.data();
        std::size_t outLeft = output.size();
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        if (iconv(handle_, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) {
            throw std::runtime_error("character without a code-page-932 form: " + utf8Character);
        }
        output.resize(output.size() - outLeft);
        return output;
    }

private:
    iconv_t handle_;
};

std::size_t Utf8Length(unsigned char lead) {
    if (lead >= 0xF0) return 4;
    if (lead >= 0xE0) return 3;
    if (lead >= 0xC0) return 2;
    throw std::runtime_error("malformed UTF-8 in a literal");
}

std::string OctalEscapes(const std::string& bytes) {
    std::string escaped;
    for (unsigned char byte : bytes) {
        char digits[5];
        std::snprintf(digits, sizeof digits, "\\%03o", byte);
        escaped += digits;
    }
    return escaped;
}

bool IsIdentifierChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

class Transformer {
public:
    Transformer(const std::string& source, Cp932Encoder& encoder) : in_(source), encoder_(encoder) {}

    std::string Run() {
        while (pos_ < in_.size()) {
            if (StartsWith("//")) {
                CopyUntil("\n", false);
            } else if (StartsWith("/*")) {
                CopyUntil("*/", true);
            } else if (in_[pos_] == '"' || in_[pos_] == '\'') {
                Literal();
            } else {
                out_ += in_[pos_++];
            }
        }
        return out_;
    }

private:
    bool StartsWith(const char* text) const { return in_.compare(pos_, std::char_traits<char>::length(text), text) == 0; }

    void CopyUntil(const std::string& end, bool includeEnd) {
        std::size_t stop = in_.find(end, pos_ + 2);
        stop = stop == std::string::npos ? in_.size() : stop + (includeEnd ? end.size() : 0);
        out_.append(in_, pos_, stop - pos_);
        pos_ = stop;
    }

    // The identifier or number that runs right up to the quote.
    std::string PrefixBeforeQuote() const {
        std::size_t start = pos_;
        while (start > 0 && IsIdentifierChar(in_[start - 1])) --start;
        return in_.substr(start, pos_ - start);
    }

    void Literal() {
        const char quote = in_[pos_];
        const std::string prefix = PrefixBeforeQuote();
        if (quote == '\'' && !prefix.empty() && prefix[0] >= '0' && prefix[0] <= '9') {
            out_ += in_[pos_++];  // a digit separator, as in 1'000
            return;
        }
        const bool raw = quote == '"' && !prefix.empty() && prefix.back() == 'R' &&
                         (prefix == "R" || prefix == "LR" || prefix == "uR" || prefix == "UR" || prefix == "u8R");
        if (raw) {
            RawString(prefix == "R");
            return;
        }
        const bool narrow = !(prefix == "L" || prefix == "u" || prefix == "U" || prefix == "u8");
        out_ += in_[pos_++];
        while (true) {
            if (pos_ >= in_.size() || in_[pos_] == '\n') throw std::runtime_error("unterminated literal");
            const char c = in_[pos_];
            if (c == quote) {
                out_ += in_[pos_++];
                return;
            }
            if (c == '\\') {
                out_.append(in_, pos_, 2);
                pos_ += 2;
                continue;
            }
            if (static_cast<unsigned char>(c) < 0x80 || !narrow) {
                out_ += in_[pos_++];
                continue;
            }
            const std::size_t length = Utf8Length(static_cast<unsigned char>(c));
            if (pos_ + length > in_.size()) throw std::runtime_error("malformed UTF-8 at the end");
            out_ += OctalEscapes(encoder_.Encode(in_.substr(pos_, length)));
            pos_ += length;
        }
    }

    void RawString(bool narrow) {
        const std::size_t open = in_.find('(', pos_);
        if (open == std::string::npos) throw std::runtime_error("raw string without '('");
        const std::string delimiter = in_.substr(pos_ + 1, open - pos_ - 1);
        const std::string closing = ")" + delimiter + "\"";
        const std::size_t close = in_.find(closing, open);
        if (close == std::string::npos) throw std::runtime_error("unterminated raw string");
        const std::size_t end = close + closing.size();
        for (std::size_t k = open; narrow && k < close; ++k) {
            if (static_cast<unsigned char>(in_[k]) >= 0x80) {
                throw std::runtime_error("narrow raw string with non-ASCII text cannot be converted");
            }
        }
        out_.append(in_, pos_, end - pos_);
        pos_ = end;
    }

    const std::string& in_;
    Cp932Encoder& encoder_;
    std::size_t pos_ = 0;
    std::string out_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: cp932_literals INPUT OUTPUT\n";
        return 2;
    }
    std::ifstream input(argv[1], std::ios::binary);
    if (!input) {
        std::cerr << "cp932_literals: cannot read " << argv[1] << "\n";
        return 1;
    }
    const std::string source((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
    std::string converted;
    try {
        Cp932Encoder encoder;
        converted = Transformer(source, encoder).Run();
    } catch (const std::exception& error) {
        std::cerr << "cp932_literals: " << argv[1] << ": " << error.what() << "\n";
        return 1;
    }
    // Written whole to a temporary name first, so an interrupted build never
    // leaves half a source file behind.
    const std::string temporary = std::string(argv[2]) + ".tmp";
    {
        std::ofstream output(temporary, std::ios::binary | std::ios::trunc);
        output << converted;
        if (!output.flush()) {
            std::cerr << "cp932_literals: cannot write " << temporary << "\n";
            return 1;
        }
    }
    if (std::rename(temporary.c_str(), argv[2]) != 0) {
        std::cerr << "cp932_literals: cannot replace " << argv[2] << "\n";
        return 1;
    }
    return 0;
}
