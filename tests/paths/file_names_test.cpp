#include "filelib/paths/file_names.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

TEST(FileNames, FileNamePartTable) {
    const std::string longName(599, 'n');
    struct Case {
        std::string path;
        std::string expected;
    } cases[] = {
        {"C:\\DATEN\\BRIEF.TXT", "BRIEF.TXT"},
        {"C:\\DATEN\\LIESMICH", "LIESMICH"},
        {"ARCHIV.2005.ZIP", "ARCHIV.2005.ZIP"},
        {"C:\\DATEN\\BRIEF.", "BRIEF"},
        {"a..", "a."},
        {"C:\\DATEN\\", ""},
        {".PROFILE", ".PROFILE"},
        {"/home/u/.bashrc", ".bashrc"},
        {"dir/sub\\mixed.c", "mixed.c"},
        {"name", "name"},
        {"", ""},
        {"C:", "C:"},
        // A long folder does not matter; a long name does not fit.
        {std::string(900, 'd') + "\\short.txt", "short.txt"},
        {"d\\" + longName.substr(0, 595) + ".txt", longName.substr(0, 595) + ".txt"},
        {"d\\" + longName + ".", longName},
        {"d\\" + longName + "x", ""},
        {"d\\" + longName + ".txt", ""},
        {std::string(700, 'n'), ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, GetFileNamePart(c.path.c_str())) << c.path.substr(0, 60);
        EXPECT_EQ(c.expected, GetFileNamePart2(c.path.c_str())) << c.path.substr(0, 60);
    }
}

TEST(FileNames, TwoFileNamePartsHeldAtOnce) {
    const char* first = GetFileNamePart("C:\\a\\one.txt");
    const char* second = GetFileNamePart2("C:\\b\\two.txt");
    EXPECT_STREQ("one.txt", first);
    EXPECT_STREQ("two.txt", second);
    EXPECT_EQ(first, GetFileNamePart("x"));
    EXPECT_STREQ("x", first);
}

TEST(FileNames, SortKeyTable) {
    struct Case {
        const char* name;
        const char* key;
        const char* nameAfter;
    } cases[] = {
        {"\xFC" "bung", "\xDC" "BUNG", "\xFC" "BUNG"},
        {"M\xE4rz", "M\xC4RZ", "M\xE4RZ"},
        {"sch\xF6n", "SCH\xD6N", "SCH\xF6N"},
        {"Stra\xDF" "e", "STRA\xDF" "E", "STRA\xDF" "E"},         // ß stays
        {"caf\xE9", "CAF\xE9", "CAF\xE9"},                         // accents stay
        {"\xC4\xD6\xDC", "\xC4\xD6\xDC", "\xC4\xD6\xDC"},
        {"a-z_09.txt", "A-Z_09.TXT", "A-Z_09.TXT"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        char name[64];
        std::snprintf(name, sizeof name, "%s", c.name);
        EXPECT_STREQ(c.key, MakeSortKeyName(name)) << c.name;
        EXPECT_STREQ(c.nameAfter, name) << c.name;
    }
}

TEST(FileNames, SortKeyThatDoesNotFitIsEmpty) {
    std::string fits(SORT_KEY_SIZE - 1, 'a');
    EXPECT_EQ(std::string(SORT_KEY_SIZE - 1, 'A'), MakeSortKeyName(&fits[0]));
    std::string tooLong(SORT_KEY_SIZE, 'a');
    EXPECT_STREQ("", MakeSortKeyName(&tooLong[0]));
    EXPECT_EQ(std::string(SORT_KEY_SIZE, 'A'), tooLong);
}

TEST(FileNames, ListItemAddresses) {
    char list[5 * 12];
    EXPECT_EQ(static_cast<void*>(list), GetListItem(list, 0, 12));
    EXPECT_EQ(static_cast<void*>(list + 36), GetListItem(list, 3, 12));
    const char* constList = list;
    EXPECT_EQ(static_cast<const void*>(list + 48), GetListItem(constList, 4, 12));
}

// ---------------------------------------------------------------- sorting

std::vector<char> MakeList(const std::vector<std::string>& names, int size, char fill = '#') {
    std::vector<char> list(names.size() * size_t(size), fill);
    for (size_t i = 0; i < names.size(); ++i) std::memcpy(&list[i * size], names[i].c_str(), names[i].size() + 1);
    return list;
}

std::vector<std::string> NamesOf(const std::vector<char>& list, int size) {
    std::vector<std::string> names;
    for (size_t at = 0; at < list.size(); at += size_t(size)) names.emplace_back(&list[at]);
    return names;
}

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return text;
}

// The plain selection sort, scan by scan, that the fast one must match byte
// for byte, the bytes behind the names included.
void SelectionSortByScan(std::vector<char>& list, int size) {
    const int count = int(list.size() / size_t(size));
    for (int i = 0; i < count; ++i) {
        int smallest = i;
        for (int j = i + 1; j < count; ++j)
            if (std::strcmp(Upper(&list[j * size_t(size)]).c_str(), Upper(&list[smallest * size_t(size)]).c_str()) < 0)
                smallest = j;
        const std::string held = &list[smallest * size_t(size)];
        const std::string atI = &list[i * size_t(size)];
        std::memcpy(&list[smallest * size_t(size)], atI.c_str(), atI.size() + 1);
        std::memcpy(&list[i * size_t(size)], held.c_str(), held.size() + 1);
    }
}

TEST(FileNames, SortNameListTable) {
    struct Case {
        std::vector<std::string> names;
        int size;
        std::vector<std::string> expected;
    } cases[] = {
        {{"beta", "Alpha", "ALPHA"}, 200, {"Alpha", "ALPHA", "beta"}},
        // Equal names: the swap carries B2 past B1, so the order is not stable.
        {{"b1", "B", "a", "b", "B"}, 8, {"a", "B", "b", "B", "b1"}},
        {{"zz", "x", "X", "x", "a"}, 4, {"a", "x", "X", "x", "zz"}},
        {{"\xFC" "bung", "zebra", "\xFF", "Apfel"}, 16, {"Apfel", "zebra", "\xFC" "bung", "\xFF"}},
        {{"", "b", ""}, 4, {"", "", "b"}},
        {{"only"}, 8, {"only"}},
        {{"_x", "Zx", "[x", "ax"}, 4, {"ax", "Zx", "[x", "_x"}},  // AX < ZX < [X < _X
    };
    for (const Case& c : cases) {
        std::vector<char> list = MakeList(c.names, c.size);
        std::vector<char> byScan = list;
        SelectionSortByScan(byScan, c.size);
        EXPECT_EQ(0, SortNameList(list.data(), int(c.names.size()), c.size));
        EXPECT_EQ(c.expected, NamesOf(list, c.size)) << c.names[0];
        EXPECT_EQ(byScan, list) << c.names[0];
    }
}

// The equal names are told apart by the bytes behind them, which stay with
// their record, so where each copy of "b" went shows in the whole list.
TEST(FileNames, SortNameListMatchesTheScanOnRandomLists) {
    std::mt19937 random(20261208);
    const char* const pool[] = {"a", "A", "b", "B", "ab", "Ab", "\xE4", "\xC4", "", "zz", "Zz", "b_", "\xFF",
                                "abcdefgh", "ABCDEFGH1", "abcdefgh1", "abcdefgh\xE4", "abcdefg"};
    for (int round = 0; round < 300; ++round) {
        const int count = 1 + int(random() % 40);
        const int size = 12 + int(random() % 4);
        std::vector<std::string> names;
        for (int i = 0; i < count; ++i) names.push_back(pool[random() % (sizeof pool / sizeof pool[0])]);
        std::vector<char> list = MakeList(names, size);
        for (size_t k = 0; k < list.size(); ++k)
            if (list[k] == '#') list[k] = char('0' + random() % 10);
        std::vector<char> byScan = list;
        SelectionSortByScan(byScan, size);
        SortNameList(list.data(), count, size);
        ASSERT_EQ(byScan, list) << "round " << round;
    }
}

TEST(FileNames, SortNameListLeavesListWhenItCannotSortSafely) {
    struct Case {
        const char* what;
        std::vector<char> list;
        int count;
        int size;
        bool failMemory;
    } cases[] = {
        {"work memory refused", MakeList({"c", "b", "a"}, 4), 3, 4, true},
        {"name fills its record", {'c', 0, 'b', 'b', 'a', 0}, 3, 2, false},
        {"last name without end", {'c', 0, 'b', 0, 'a', 'a'}, 3, 2, false},
        {"count 0", MakeList({"b", "a"}, 4), 0, 4, false},
        {"count 1", MakeList({"b", "a"}, 4), 1, 4, false},
        {"size 0", MakeList({"b", "a"}, 4), 2, 0, false},
        {"negative count", MakeList({"b", "a"}, 4), -3, 4, false},
    };
    for (Case& c : cases) {
        const std::vector<char> before = c.list;
        filelib_testing::FailNameListWorkMemory(c.failMemory);
        EXPECT_EQ(0, SortNameList(c.list.data(), c.count, c.size)) << c.what;
        filelib_testing::FailNameListWorkMemory(false);
        EXPECT_EQ(before, c.list) << c.what;
    }
    // The same lists sort once nothing stands in the way.
    std::vector<char> list = MakeList({"c", "b", "a"}, 4);
    SortNameList(list.data(), 3, 4);
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), NamesOf(list, 4));
    EXPECT_EQ(0, SortNameList(nullptr, 3, 4));
}

}  // namespace
