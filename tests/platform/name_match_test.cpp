#include "filelib/platform/name_match.h"

#include <gtest/gtest.h>

namespace {

TEST(NameMatch, PatternTable) {
    struct Case {
        const char* pattern;
        const char* name;
        bool matches;
    } cases[] = {
        {"*.*", "readme", true},       {"*.*", "a.b.c", true},      {"*.*", ".profile", true},
        {"*", "anything.at.all", true}, {"*.txt", "a.txt", true},   {"*.txt", "A.TXT", true},
        {"*.txt", "a.txtx", false},     {"*.htm", "page.html", false}, {"*.tmp", "x.tmpl", false},
        {"*.", "noext", true},          {"*.", "a.b", false},       {"*.", ".", true},
        {"*.", "..", true},             {"a?c", "abc", true},       {"a?c", "ac", false},
        {"*.t?t", "b.TXT", true},       {"*a*b*", "xxaxxbxx", true}, {"*a*b", "ba", false},
        {"f\xE4*", "f\xE4hre", true},   {"F\xE4*", "f\xC4hre", false},  // only A-Z fold
        {"", "", true},                 {"", "a", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.matches, plat::MatchesNamePattern(c.pattern, c.name)) << c.pattern << " " << c.name;
}

TEST(NameMatch, DotNames) {
    EXPECT_TRUE(plat::IsDotName("."));
    EXPECT_TRUE(plat::IsDotName(".."));
    EXPECT_FALSE(plat::IsDotName("..."));
    EXPECT_FALSE(plat::IsDotName(".a"));
    EXPECT_FALSE(plat::IsDotName(""));
}

}  // namespace
