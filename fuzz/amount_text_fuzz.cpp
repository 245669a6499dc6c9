// Arbitrary texts and widths for the amount parser, the hexadecimal readers
// and the text conversions. Besides staying inside their buffers, the
// results must keep the properties callers rely on.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "filelib/amount/amount.h"
#include "filelib/amount/rounding.h"
#include "filelib/text/number_format.h"
#include "filelib/text/text_conv.h"

namespace {

// Splits the input into zero-terminated parts at 0 bytes.
class Parts {
public:
    Parts(const uint8_t* data, size_t size) : m_text(reinterpret_cast<const char*>(data), size) {}
    std::string Next() {
        if (m_pos > m_text.size()) return std::string();
        const size_t end = std::min(m_text.find('\0', m_pos), m_text.size());
        std::string part = m_text.substr(m_pos, end - m_pos);
        m_pos = end + 1;
        return part;
    }

private:
    std::string m_text;
    size_t m_pos = 0;
};

void Check(bool condition) {
    if (!condition) std::abort();
}

int64_t Hundredths(const CAmount& amount) {
    const char* digits = amount.FormatDigits();
    return digits[0] == 0 ? 0 : std::strtoll(digits, nullptr, 10);
}

void FuzzAmount(const std::string& a, const std::string& b) {
    CAmount x, y;
    x.Parse(a.c_str());
    y.Parse(b.c_str());
    CAmount readBack;
    Check(readBack.Parse(x.Format()).GetValue() == x.GetValue());
    Check(readBack.Parse(x.FormatDigits()).GetValue() == x.GetValue());
    const int64_t hx = Hundredths(x), hy = Hundredths(y);
    Check(x.IsLess(y) == (hx < hy) || (hx == hy && x.IsZero()));
    Check(x.IsGreater(y) == (hx > hy) || (hx == hy && x.IsZero()));
    const int64_t limit = int64_t(INT32_MAX) * 100 + 99;
    const int64_t exact = hx + hy;
    CAmount sum(x);
    sum.Add(y);
    Check(Hundredths(sum) == (exact > limit ? limit : exact < -limit ? -limit : exact));
    CAmount product(x);
    product.Multiply(double(hy) / 7.0);
    CAmount quotient(x);
    quotient.Divide(int(hy % 1000));
    Check(std::strlen(product.Format()) < 32 && std::strlen(quotient.Format()) < 32);
}

void FuzzHex(std::string text) {
    const int value = HexToInt(text.c_str());
    if (text.size() <= 7 && text.find_first_not_of("0123456789ABCDEF") == std::string::npos) {
        Check(value == int(std::strtol(text.empty() ? "0" : text.c_str(), nullptr, 16)));
    }
    HexPairToByte(&text[0]);
    Check(text.find_first_of("abcdefghijklmnopqrstuvwxyz") == std::string::npos);
}

void FuzzText(const std::string& text, const std::string& find, const std::string& replacement, unsigned width) {
    const char* replaced = ReplaceText(text.c_str(), find.c_str(), replacement.c_str());
    Check(std::strlen(replaced) < 3000);
    const std::string wrapped = WrapText(text.c_str(), (width & 1) != 0, width >> 1);
    Check(wrapped.size() < 2000);
    const char breakChar = replacement.empty() ? '\n' : replacement[0];
    const std::string wrappedWith = WrapTextWith(text.c_str(), breakChar, width);
    Check(wrappedWith.size() < 2000);
    // Taking the breaks out again gives the text, unless it was refused.
    if (breakChar != 0 && breakChar != ' ' && text.find(breakChar) == std::string::npos && !wrappedWith.empty()) {
        std::string plain;
        for (char c : wrappedWith) {
            if (c != breakChar) plain += c;
        }
        Check(plain == text);
    }
    Check(std::strlen(ReplaceUmlauts(text.c_str())) < 3000);
    std::basic_string<WCHAR> wide;
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        wide += WCHAR(uint16_t(uint8_t(text[i]) | uint8_t(text[i + 1]) << 8));
    }
    Check(std::strlen(WideToAnsi(wide.c_str())) < 1000);
    double value;
    std::memcpy(&value, (text + std::string(8, '\0')).data(), sizeof value);
    Check(std::strlen(FormatNumber(value, int(width % 120) - 10, (width & 2) != 0, (width & 4) != 0)) < 100);
    RoundToPlaces(value, int(width % 9) - 4);
    RoundToInt(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    unsigned width = 0;
    std::memcpy(&width, data, sizeof width);
    // Widths around the lengths of the texts matter most.
    width %= 4096;
    Parts parts(data + 4, size - 4);
    const std::string text = parts.Next();
    const std::string find = parts.Next();
    const std::string replacement = parts.Next();
    FuzzAmount(text, find);
    FuzzHex(find);
    FuzzText(text, find, replacement, width);
    return 0;
}
