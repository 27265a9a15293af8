#include "core/strings.h"

namespace hvn {

namespace {

// Digit value of c in the given base, or -1.
int DigitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9') {
        v = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        v = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        v = c - 'A' + 10;
    }
    return v < base ? v : -1;
}

char UpperChar(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}
char LowerChar(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}
bool IsBlank(char c) {
    return static_cast<unsigned char>(c) < 33;
}

} // namespace

int64_t StrToLong(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i < text.size() && text[i] == '%') {
        base = 2;
        ++i;
    }
    // Unsigned arithmetic wraps without undefined behaviour.
    uint64_t value = 0;
    for (; i < text.size(); ++i) {
        int d = DigitValue(text[i], base);
        if (d < 0) {
            break;
        }
        value = value * uint64_t(base) + uint64_t(d);
    }
    if (negative) {
        value = ~value + 1;
    }
    return static_cast<int64_t>(value);
}

int32_t StrToInt(std::string_view text) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(StrToLong(text))));
}

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char &c : out) {
        c = UpperChar(c);
    }
    return out;
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char &c : out) {
        c = LowerChar(c);
    }
    return out;
}

std::string Trim(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    return std::string(text.substr(begin, end - begin));
}

std::string Replace(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty()) {
        return std::string(text);
    }
    std::string out;
    size_t pos = 0;
    for (size_t hit; (hit = text.find(from, pos)) != std::string_view::npos;
         pos = hit + from.size()) {
        out.append(text.substr(pos, hit - pos));
        out.append(to);
    }
    out.append(text.substr(pos));
    return out;
}

std::vector<std::string> Split(std::string_view text, std::string_view separator) {
    std::vector<std::string> pieces;
    if (separator.empty()) {
        pieces.emplace_back(text);
        return pieces;
    }
    size_t pos = 0;
    for (size_t hit; (hit = text.find(separator, pos)) != std::string_view::npos;
         pos = hit + separator.size()) {
        pieces.emplace_back(text.substr(pos, hit - pos));
    }
    pieces.emplace_back(text.substr(pos));
    return pieces;
}

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

std::string ExtractExt(std::string_view name) {
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || name.find('/', dot) != std::string_view::npos) {
        return "";
    }
    return std::string(name.substr(dot + 1));
}

std::string Left(std::string_view text, size_t n) {
    return std::string(text.substr(0, n));
}

namespace {

// Length of the UTF-8 sequence a lead byte starts and the bits it carries; 0 when the
// byte cannot start one.
int SequenceLength(unsigned char lead, uint32_t &bits) {
    if (lead < 0x80) {
        bits = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        bits = lead & 0x1F;
        return 2;
    }
    if ((lead & 0xF0) == 0xE0) {
        bits = lead & 0x0F;
        return 3;
    }
    if ((lead & 0xF8) == 0xF0) {
        bits = lead & 0x07;
        return 4;
    }
    return 0;
}

} // namespace

std::u16string Utf8ToUtf16(std::string_view bytes, bool &ok) {
    ok = true;
    std::u16string units;
    units.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        uint32_t code = 0;
        int len = SequenceLength(static_cast<unsigned char>(bytes[i]), code);
        if (len == 0) {
            // A stray byte stands for itself, as in the one-byte-per-character texts.
            units.push_back(static_cast<unsigned char>(bytes[i]));
            ++i;
            continue;
        }
        if (i + size_t(len) > bytes.size()) {
            break; // cut short at the end: dropped
        }
        int k = 1;
        for (; k < len; ++k) {
            unsigned char c = static_cast<unsigned char>(bytes[i + size_t(k)]);
            if ((c & 0xC0) != 0x80) {
                break;
            }
            code = (code << 6) | (c & 0x3F);
        }
        if (k < len) {
            units.push_back(static_cast<unsigned char>(bytes[i]));
            ++i;
            continue;
        }
        i += size_t(len);
        if (code > 0xFFFF) {
            ok = false;
            code -= 0x10000;
            units.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
            continue;
        }
        units.push_back(static_cast<char16_t>(code));
    }
    return units;
}

namespace {

void AppendUtf8(std::string &out, uint32_t code) {
    if (code < 0x80) {
        out.push_back(char(code));
    } else if (code < 0x800) {
        out.push_back(char(0xC0 | (code >> 6)));
        out.push_back(char(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(char(0xE0 | (code >> 12)));
        out.push_back(char(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(char(0x80 | (code & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (code >> 18)));
        out.push_back(char(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(char(0x80 | (code & 0x3F)));
    }
}

} // namespace

std::string Utf16ToUtf8(std::u16string_view units) {
    std::string out;
    out.reserve(units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t code = units[i];
        bool high = code >= 0xD800 && code <= 0xDBFF;
        if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        }
        AppendUtf8(out, code);
    }
    return out;
}

std::string LineKey(std::string_view line) {
    const size_t eq = line.find('=');
    return eq == std::string_view::npos ? std::string() : std::string(line.substr(0, eq));
}

std::string LineValue(std::string_view line) {
    const size_t eq = line.find('=');
    return std::string(eq == std::string_view::npos ? line : line.substr(eq + 1));
}

} // namespace hvn
