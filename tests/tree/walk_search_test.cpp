#include "filelib/tree/walk_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace {

using testsupport::Sep;
using testsupport::TempDir;
using Names = std::vector<std::string>;

// The names visited, in the order they were.
Names Visited(const std::string& folder, const char* list, size_t patternSize = 300) {
    Names names;
    walk::ForEachGroupFile(folder.c_str(), walk::ExtensionGroups(list), patternSize, [&](const plat::FindData& file) {
        names.push_back(file.name);
        return walk::GroupVisit::Next;
    });
    return names;
}

Names Sorted(Names names) {
    std::sort(names.begin(), names.end());
    return names;
}

TEST(GroupFileSearch, GroupsInListOrderAndNoFolders) {
    TempDir dir;
    for (const char* name : {"a.txt", "b.log", "c.txt", "d.doc"}) dir.WriteFile(name, 1);
    dir.MakeDir("e.txt");  // a folder is never visited
    dir.WriteFile("sub/f.txt", 1);
    struct Case {
        const char* list;
        std::vector<Names> groups;  // each group's names sorted
    } cases[] = {
        {"txt", {{"a.txt", "c.txt"}}},
        {"logtxt", {{"b.log"}, {"a.txt", "c.txt"}}},
        {"txtlog", {{"a.txt", "c.txt"}, {"b.log"}}},
        {"txttxt", {{"a.txt", "c.txt"}, {"a.txt", "c.txt"}}},
        {"", {{"a.txt", "b.log", "c.txt", "d.doc"}}},
        {"t/xlog", {{"b.log"}}},  // a group that reaches into another folder is skipped
        {"zip", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        const Names visited = Visited(dir.path(), c.list);
        size_t from = 0;
        for (const Names& group : c.groups) {
            ASSERT_LE(from + group.size(), visited.size());
            EXPECT_EQ(group, Sorted(Names(visited.begin() + long(from), visited.begin() + long(from + group.size()))));
            from += group.size();
        }
        EXPECT_EQ(from, visited.size());
    }
}

TEST(GroupFileSearch, EndingAGroupGoesOnWithTheNext) {
    TempDir dir;
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.log", "e.log", "f.doc"}) dir.WriteFile(name, 1);
    Names first;
    walk::ForEachGroupFile(dir.path().c_str(), walk::ExtensionGroups("txtziplogdoc"), 300,
                           [&](const plat::FindData& file) {
                               first.push_back(std::string(file.name).substr(2));
                               return walk::GroupVisit::EndGroup;
                           });
    EXPECT_EQ(Names({"txt", "log", "doc"}), first);
}

TEST(GroupFileSearch, PatternsMustFitTheCallersSize) {
    TempDir dir;
    dir.WriteFile("a.txt", 1);
    // The pattern "<folder><sep>*.txt" and its terminator.
    const size_t needed = dir.path().size() + Sep().size() + 5 + 1;
    EXPECT_EQ(Names({"a.txt"}), Visited(dir.path(), "txt", needed));
    EXPECT_EQ(Names(), Visited(dir.path(), "txt", needed - 1));
    // A size beyond the longest pattern is held to it: a folder text longer
    // than that is refused, never written past the search's own buffer.
    const std::string huge = dir.path() + std::string(plat::kLongestPattern, '/');
    EXPECT_EQ(Names(), Visited(huge, "txt", SIZE_MAX));
    EXPECT_EQ(Names({"a.txt"}), Visited(dir.path() + Sep(), "txt", SIZE_MAX));
}

TEST(GroupFileSearch, NoFolderTextVisitsNothing) {
    bool visited = false;
    walk::ForEachGroupFile(nullptr, walk::ExtensionGroups(""), 300, [&](const plat::FindData&) {
        visited = true;
        return walk::GroupVisit::Next;
    });
    EXPECT_FALSE(visited);
}

}  // namespace
