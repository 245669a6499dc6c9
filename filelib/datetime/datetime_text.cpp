#include "filelib/datetime/datetime_rec.h"

#include <cstdio>
#include <cstring>

#include "filelib/text/text_fields.h"

namespace {

// Room for the widest text that any record gives: a day or month up to 255
// and a year up to 65535 are printed whole.
constexpr size_t kSingleFormSize = 16;
constexpr size_t kCombinedFormSize = 2 * kSingleFormSize + 8;

// Year of the DDMMYY forms: 1999 is 99 and 2005 is 05.
int TwoDigitYear(int year) { return year < 2000 ? year - 1900 : year - 2000; }

// 0-50 are 2000-2050, 51-99 are 1951-1999.
int CenturyForTwoDigits(int y) { return y > 50 ? 1900 + y : 2000 + y; }

void ClearDateHalf(DATETIMEREC* rec) {
    rec->wYear = 0;
    rec->bMonth = 0;
    rec->bDay = 0;
}

void ClearTimeHalf(DATETIMEREC* rec) {
    rec->bHour = 0;
    rec->bMinute = 0;
    rec->bSecond = 0;
    rec->bReserved = 0;
}

void SetDate(DATETIMEREC* rec, int day, int month, int year) {
    rec->bDay = uint8_t(day);
    rec->bMonth = uint8_t(month);
    rec->wYear = uint16_t(year);
}

void SetTime(DATETIMEREC* rec, int hour, int minute, int second) {
    rec->bHour = uint8_t(hour);
    rec->bMinute = uint8_t(minute);
    rec->bSecond = uint8_t(second);
}

int CountChar(const char* text, char c) {
    int count = 0;
    for (; *text != 0; ++text)
        if (*text == c) ++count;
    return count;
}

// The number in the `count` characters from `first` (0-based).
int DigitsAt(const char* text, size_t first, size_t count) { return ReadLeadingInt(text + first, count); }

// The three numbers of "a<sep>b<sep>c", fields of any width.
void SplitThree(const char* text, char separator, int numbers[3]) {
    const char stop[2] = {separator, 0};
    const char* field = text;
    for (int i = 0; i < 3; ++i) {
        numbers[i] = ReadLeadingInt(field, std::strcspn(field, stop));
        field = std::strchr(field, separator);
        field = field != nullptr ? field + 1 : "";
    }
}

// "0" in front of a text one character short of a fixed form.
const char* PadWithZero(const char* text, char (&padded)[kMaxDateOrTimeText + 2]) {
    std::snprintf(padded, sizeof padded, "0%s", text);
    return padded;
}

bool AllDigits(const char* text, size_t count) {
    for (size_t i = 0; i < count; ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    return true;
}

// Four digits and a dash open the ISO form YYYY-MM-DD. Such a text is read
// by that form alone: the fixed-width rules would take "2005-03-07" as day
// 20 of month 5 and "2005-3-7" as month 253.
bool OpensIsoDate(const char* text) { return AllDigits(text, 4) && text[4] == '-'; }

// Exactly YYYY-MM-DD; as everywhere, the ranges are left to IsValidDate.
bool ParseIsoDate(DATETIMEREC* rec, const char* text, size_t length) {
    if (length != 10 || text[7] != '-' || !AllDigits(text + 5, 2) || !AllDigits(text + 8, 2)) return false;
    SetDate(rec, DigitsAt(text, 8, 2), DigitsAt(text, 5, 2), DigitsAt(text, 0, 4));
    return true;
}

bool ParseDottedDate(DATETIMEREC* rec, const char* text) {
    int numbers[3];
    SplitThree(text, '.', numbers);
    const uint16_t y = uint16_t(numbers[2]);
    SetDate(rec, numbers[0], numbers[1], 0);
    if ((rec->bDay != 0 && rec->bMonth != 0) || y != 0) rec->wYear = uint16_t(y >= 100 ? y : CenturyForTwoDigits(y));
    return true;
}

bool ParseFixedDate(DATETIMEREC* rec, const char* text, size_t length) {
    switch (length) {
    case 6:  // DDMMYY
        SetDate(rec, DigitsAt(text, 0, 2), DigitsAt(text, 2, 2), CenturyForTwoDigits(DigitsAt(text, 4, 2)));
        return true;
    case 8: {
        const int trailingYear = DigitsAt(text, 4, 4);
        if (trailingYear >= 1900)  // DDMMYYYY
            SetDate(rec, DigitsAt(text, 0, 2), DigitsAt(text, 2, 2), trailingYear);
        else  // YYYYMMDD
            SetDate(rec, DigitsAt(text, 6, 2), DigitsAt(text, 4, 2), DigitsAt(text, 0, 4));
        return true;
    }
    case 10:  // DD?MM?YYYY, separators not looked at
        SetDate(rec, DigitsAt(text, 0, 2), DigitsAt(text, 3, 2), DigitsAt(text, 6, 4));
        return true;
    default:
        return false;
    }
}

bool ParseFixedTime(DATETIMEREC* rec, const char* text, size_t length) {
    switch (length) {
    case 6:  // HHMMSS
        SetTime(rec, DigitsAt(text, 0, 2), DigitsAt(text, 2, 2), DigitsAt(text, 4, 2));
        return true;
    case 8:  // HH?MM?SS
        SetTime(rec, DigitsAt(text, 0, 2), DigitsAt(text, 3, 2), DigitsAt(text, 6, 2));
        return true;
    default:
        return false;
    }
}

// Cuts `text` into a date part and a time part, each trimmed.
void SplitDateTime(const char* text, char* datePart, char* timePart) {
    const size_t length = std::strlen(text);
    size_t cut = length;
    if (length == 12 || length == 14) {
        cut = length - 6;
    } else {
        size_t i = 0;
        while (text[i] == ' ') ++i;
        while (i < length && text[i] != ' ') ++i;
        if (i == length) return;  // no blank after the first word: both parts stay empty
        cut = i;
    }
    std::memcpy(datePart, text, cut);
    datePart[cut] = 0;
    std::memcpy(timePart, text + cut, length - cut + 1);
    if (length != 12 && length != 14) {
        TrimBlanks(datePart);
        TrimBlanks(timePart);
    }
}

}  // namespace

// ---------------------------------------------------------------- formatters

const char* FormatDate(const DATETIMEREC* rec) {
    static char text[kSingleFormSize];
    if (rec->wYear == 0)
        std::snprintf(text, sizeof text, "__.__.____");
    else
        std::snprintf(text, sizeof text, "%02i.%02i.%04i", rec->bDay, rec->bMonth, rec->wYear);
    return text;
}

const char* FormatTime(const DATETIMEREC* rec) {
    static char text[kSingleFormSize];
    std::snprintf(text, sizeof text, "%02i:%02i:%02i", rec->bHour, rec->bMinute, rec->bSecond);
    return text;
}

const char* FormatDateTime(const DATETIMEREC* rec) {
    static char text[kCombinedFormSize];
    std::snprintf(text, sizeof text, "%10s  %8s", FormatDate(rec), FormatTime(rec));
    return text;
}

const char* FormatDateDigits(const DATETIMEREC* rec) {
    static char text[kSingleFormSize];
    std::snprintf(text, sizeof text, "%02i%02i%04i", rec->bDay, rec->bMonth, rec->wYear);
    return text;
}

const char* FormatDateDigitsShort(const DATETIMEREC* rec) {
    static char text[kSingleFormSize];
    std::snprintf(text, sizeof text, "%02i%02i%02i", rec->bDay, rec->bMonth, TwoDigitYear(rec->wYear));
    return text;
}

const char* FormatDateSortable(const DATETIMEREC* rec) {
    static char text[kSingleFormSize];
    std::snprintf(text, sizeof text, "%04i%02i%02i", rec->wYear, rec->bMonth, rec->bDay);
    return text;
}

const char* FormatTimeDigits(const DATETIMEREC* rec) {
    static char text[kSingleFormSize];
    std::snprintf(text, sizeof text, "%02i%02i%02i", rec->bHour, rec->bMinute, rec->bSecond);
    return text;
}

const char* FormatDateTimeDigits(const DATETIMEREC* rec) {
    static char text[kCombinedFormSize];
    std::snprintf(text, sizeof text, "%s%s", FormatDateDigits(rec), FormatTimeDigits(rec));
    return text;
}

const char* FormatDateTimeDigitsShort(const DATETIMEREC* rec) {
    static char text[kCombinedFormSize];
    std::snprintf(text, sizeof text, "%s%s", FormatDateDigitsShort(rec), FormatTimeDigits(rec));
    return text;
}

const char* FormatDateTimeSortable(const DATETIMEREC* rec) {
    static char text[kCombinedFormSize];
    std::snprintf(text, sizeof text, "%s%s", FormatDateSortable(rec), FormatTimeDigits(rec));
    return text;
}

// ------------------------------------------------------------------- parsers

bool ParseDate(DATETIMEREC* rec, char* text) {
    ClearDateHalf(rec);
    if (text == nullptr) return false;
    const size_t length = std::strlen(TrimBlanks(text));
    if (length > kMaxDateOrTimeText) return false;
    if (OpensIsoDate(text)) return ParseIsoDate(rec, text, length);
    if (CountChar(text, '.') == 2) return ParseDottedDate(rec, text);
    char padded[kMaxDateOrTimeText + 2];
    const char* form = length == 9 ? PadWithZero(text, padded) : text;
    return ParseFixedDate(rec, form, length == 9 ? 10 : length);
}

bool ParseTime(DATETIMEREC* rec, char* text) {
    ClearTimeHalf(rec);
    if (text == nullptr) return false;
    const size_t length = std::strlen(TrimBlanks(text));
    if (length > kMaxDateOrTimeText) return false;
    if (CountChar(text, ':') == 2) {
        int numbers[3];
        SplitThree(text, ':', numbers);
        SetTime(rec, numbers[0], numbers[1], numbers[2]);
        return true;
    }
    char padded[kMaxDateOrTimeText + 2];
    const char* form = length == 7 ? PadWithZero(text, padded) : text;
    return ParseFixedTime(rec, form, length == 7 ? 8 : length);
}

bool ParseDateTime(DATETIMEREC* rec, const char* text) {
    std::memset(rec, 0, sizeof *rec);
    if (text == nullptr || std::strlen(text) > kMaxDateTimeText) return false;
    char datePart[kMaxDateTimeText + 1] = "";
    char timePart[kMaxDateTimeText + 1] = "";
    SplitDateTime(text, datePart, timePart);
    const bool ok = datePart[0] != 0 && timePart[0] != 0 && ParseDate(rec, datePart) && ParseTime(rec, timePart);
    if (!ok) std::memset(rec, 0, sizeof *rec);
    return ok;
}
