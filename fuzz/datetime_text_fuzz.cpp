// Arbitrary texts for the date and time parsers and the field and clean-up
// operations, and arbitrary records, counts and Windows times for the
// calendar arithmetic and the conversions. Every text lives in a heap block
// of exactly its size, so that AddressSanitizer sees any step outside it;
// the results must keep the properties callers rely on.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "filelib/datetime/datetime_rec.h"
#include "filelib/text/text_fields.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

// A writable zero-terminated copy with `extra` bytes of room and no more.
std::vector<char> Writable(const std::string& text, size_t extra = 0) {
    std::vector<char> copy(text.size() + 1 + extra);
    std::memcpy(copy.data(), text.c_str(), text.size() + 1);
    return copy;
}

bool IsBlankOrTab(char c) { return c == ' ' || c == '\t'; }

bool HalfIsZero(const DATETIMEREC& rec, size_t offset) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&rec) + offset;
    return bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 0 && bytes[3] == 0;
}

void FuzzParsers(const std::string& text) {
    DATETIMEREC rec;
    std::memset(&rec, 0x5A, sizeof rec);
    std::vector<char> date = Writable(text);
    if (!ParseDate(&rec, date.data())) Check(HalfIsZero(rec, 0));
    Check(rec.bHour == 0x5A && rec.bReserved == 0x5A);  // the time half is not touched
    std::vector<char> time = Writable(text);
    if (!ParseTime(&rec, time.data())) Check(HalfIsZero(rec, 4));
    Check(rec.bReserved == 0);

    const std::vector<char> whole = Writable(text);
    const bool ok = ParseDateTime(&rec, whole.data());
    Check(std::memcmp(whole.data(), text.c_str(), text.size() + 1) == 0);
    if (!ok) Check(HalfIsZero(rec, 0) && HalfIsZero(rec, 4));
    // Whatever was read formats back within the formatters' buffers.
    Check(std::strlen(FormatDateTime(&rec)) <= 26 && std::strlen(FormatDateTimeDigitsShort(&rec)) <= 20);
}

void FuzzFields(const std::string& text, int index, char separator) {
    const char* field = GetField(text.c_str(), index, separator);
    const size_t length = std::strlen(field);
    Check(length < kFieldBufferSize && length <= text.size());
    if (index < 0 || index >= CountFields(text.c_str(), separator)) Check(length == 0);

    std::vector<char> decoded = Writable(text);
    DecodeCharCodes(decoded.data());
    const std::string visible = text.c_str();
    Check(std::strlen(decoded.data()) <= visible.size());
    if (visible.find("(CHR ") == std::string::npos) Check(visible == decoded.data());
}

void FuzzCleanUp(const std::string& text, size_t room) {
    std::vector<char> trimmed = Writable(text);
    const size_t length = std::strlen(TrimBlanks(trimmed.data()));
    Check(length == 0 || (!IsBlankOrTab(trimmed[0]) && !IsBlankOrTab(trimmed[length - 1])));
    std::vector<char> collapsed = Writable(text);
    Check(std::strstr(TrimAndCollapseBlanks(collapsed.data()), "  ") == nullptr);
    std::vector<char> unquoted = Writable(text);
    Check(std::strlen(StripQuotes(unquoted.data())) <= text.size());
    std::vector<char> cut = Writable(text);
    Check(std::strchr(CutAtSemicolon(cut.data()), ';') == nullptr);

    // Room for every letter: the trip there and back gives the text again,
    // unless it already held one of the UTF-8 forms as two ANSI bytes.
    const std::string visible = text.c_str();
    std::vector<char> utf8 = Writable(visible, visible.size());
    AnsiUmlautsToUtf8(utf8.data(), utf8.size());
    Check(std::strlen(Utf8UmlautsToAnsi(utf8.data())) <= visible.size());
    if (visible.find('\xC3') == std::string::npos) Check(visible == utf8.data());
    // Little room: what fits grows, and nothing is written past the block.
    std::vector<char> tight = Writable(visible, room);
    AnsiUmlautsToUtf8(tight.data(), tight.size());
    Check(std::strlen(tight.data()) <= visible.size() + room);
}

template <typename T>
T Take(const uint8_t*& data, size_t& size) {
    T value{};
    const size_t n = size < sizeof value ? size : sizeof value;
    std::memcpy(&value, data, n);
    data += n;
    size -= n;
    return value;
}

// Distances and weekdays walk month by month from one date to the other, so
// the records keep to a few decades around the weekday anchor in 2005 (the
// tests cover the far ends); months, days and times stay as given, and the
// moves by days still carry records anywhere in the 16-bit years.
void FoldYear(DATETIMEREC& rec) { rec.wYear = uint16_t(1980 + rec.wYear % 50); }

void FuzzRecords(const uint8_t* data, size_t size) {
    DATETIMEREC a = Take<DATETIMEREC>(data, size), b = Take<DATETIMEREC>(data, size);
    FoldYear(a);
    FoldYear(b);
    const int32_t days = Take<int32_t>(data, size), seconds = Take<int32_t>(data, size);
    const int32_t distance = DaysBetween(&a, &b);
    Check(distance == -DaysBetween(&b, &a));
    const int weekday = DayOfWeek(&a);
    Check(weekday >= 0 && weekday <= 6);
    SecondsBetween(&a, &b);
    const int monthLength = DaysInMonth(&a);
    Check(monthLength >= 28 && monthLength <= 31);

    const DATETIMEREC start = a;
    AddDays(&a, days);
    if (IsValidDate(&start) && start.bMonth != 0 && days != INT32_MIN) {
        AddDays(&a, -days);  // a real date comes back
        Check(std::memcmp(&a, &start, sizeof a) == 0);
    }
    AddSeconds(&b, seconds);

    struct tm tm;
    DateTimeRecToTm(&tm, &b);
    time_t t;
    DateTimeRecToTimeT(&t, &b);
    Check(t >= -1 && t <= kMaxLocalTimeT);
    FILETIME ft;
    DateTimeRecToFileTime(&ft, &b);
    FileTimeToDateTimeRec(&b, &ft);
    TimeTToDateTimeRec(&b, Take<time_t>(data, size));
    const SYSTEMTIME st = Take<SYSTEMTIME>(data, size);
    SystemTimeToFileTimeWrap(&ft, &st);
    SystemTimeToDateTimeRec(&b, &st);
    ft = Take<FILETIME>(data, size);
    SYSTEMTIME back;
    FileTimeToSystemTimeWrap(&back, &ft);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);
    FuzzParsers(text);
    FuzzFields(text, int(int8_t(data[0])) % 8, char(data[1]));
    FuzzCleanUp(text, data[0] % 8);
    FuzzRecords(data, size);
    return 0;
}
