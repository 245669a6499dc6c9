#include "filelib/paths/path_join.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/temp_dir.h"

namespace {

using testsupport::Sep;

TEST(PathJoin, FitsOrRefuses) {
    const std::string sep = Sep();
    struct Case {
        std::string folder;
        const char* name;
        size_t size;
        std::string expected;  // empty: refused
        EndSeparator end = EndSeparator::Add;
    } cases[] = {
        {"dir", "name", 64, "dir" + sep + "name"},
        {"", "name", 64, "name"},
        {"dir", "", 64, "dir" + sep},
        {"dir", "name", 9, "dir" + sep + "name"},  // exactly fits with its terminator
        {"dir", "name", 8, ""},                    // one short: never cut to "dir/nam"
        {"dir", "name", 4, ""},                    // the folder alone fits, the join does not
        {"", "name", 5, "name"},
        {"", "name", 4, ""},
        {"", "", 1, ""},
        // A folder that ends in a separator: the finder's records add one
        // more, the walks reuse it; a root alone never gets a second.
        {"dir/", "name", 64, "dir/" + sep + "name"},
        {"dir/", "name", 64, "dir/name", EndSeparator::Reuse},
        {"dir" + sep, "name", 64, "dir" + sep + "name", EndSeparator::Reuse},
        {"dir", "name", 64, "dir" + sep + "name", EndSeparator::Reuse},
        {"", "name", 64, "name", EndSeparator::Reuse},
        {"C:" + sep, "name", 64, "C:" + sep + sep + "name"},
        {"C:" + sep, "name", 64, "C:" + sep + "name", EndSeparator::Reuse},
        {"/", "name", 64, "/name"},
        {sep, "name", 64, sep + "name"},
        {sep, "name", 64, sep + "name", EndSeparator::Reuse},
        {"dir/", "name", 9, "dir/name", EndSeparator::Reuse},  // the reused separator leaves room
        {"dir/", "name", 9, ""},
    };
    for (const Case& c : cases) {
        char out[80];  // room past every size tried, to see writes beyond it
        std::memset(out, 'Z', sizeof out);
        const bool joined = JoinPath(out, c.size, c.folder.c_str(), c.name, c.end);
        const bool shouldJoin = !c.expected.empty() || (c.folder.empty() && c.name[0] == 0);
        EXPECT_EQ(shouldJoin, joined) << c.folder << "+" << c.name << " in " << c.size;
        EXPECT_EQ(c.expected, std::string(out)) << c.folder << "+" << c.name << " in " << c.size;
        EXPECT_EQ('Z', out[c.size]) << "wrote past the field";
    }
}

TEST(PathJoin, ExtensionPatterns) {
    const std::string sep = Sep();
    char out[32];
    EXPECT_TRUE(JoinExtensionPattern(out, sizeof out, "dir", "txt"));
    EXPECT_EQ("dir" + sep + "*.txt", std::string(out));
    EXPECT_TRUE(JoinExtensionPattern(out, sizeof out, "", "*"));
    EXPECT_STREQ("*.*", out);
    EXPECT_TRUE(JoinExtensionPattern(out, 10, "dir", "txt"));  // "dir/*.txt" and its terminator
    EXPECT_FALSE(JoinExtensionPattern(out, 9, "dir", "txt"));
    EXPECT_STREQ("", out);
    EXPECT_TRUE(JoinExtensionPattern(out, sizeof out, "dir/", "txt", EndSeparator::Reuse));
    EXPECT_STREQ("dir/*.txt", out);
    EXPECT_TRUE(JoinExtensionPattern(out, sizeof out, "/", "*"));
    EXPECT_STREQ("/*.*", out);
}

TEST(PathJoin, HugeAndMissingInputs) {
    const std::string folder(5000, 'd');
    char out[300] = "untouched";
    EXPECT_FALSE(JoinPath(out, sizeof out, folder.c_str(), "n"));
    EXPECT_STREQ("", out);
    EXPECT_FALSE(JoinPath(out, sizeof out, nullptr, "n"));
    EXPECT_FALSE(JoinPath(out, sizeof out, "d", nullptr));
    EXPECT_FALSE(JoinPath(out, 0, "d", "n"));
    EXPECT_FALSE(JoinPath(nullptr, 10, "d", "n"));
}

}  // namespace
