#include "filelib/enum/tree_walk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "support/tree_checks.h"

namespace {

using testsupport::TempDir;

// The path below the top with '/' between names; "." for the top.
std::string Below(const std::string& top, const std::string& path) {
    std::string rest = path.size() > top.size() ? path.substr(top.size() + 1) : ".";
    std::replace(rest.begin(), rest.end(), '\\', '/');
    return rest;
}

// Reads each folder's subfolders with the library's search, in name order,
// and writes down every step the walk takes. `linkName` is shown as a link,
// as the Windows search shows a junction (on POSIX a link is no folder).
class Recorder final : public walk::TreePolicy {
public:
    Recorder(std::string top, std::string linkName) : m_top(std::move(top)), m_linkName(std::move(linkName)) {}
    std::vector<std::string> steps;

    void Enter(const char* folder, int32_t depth, walk::Subfolders& subfolders, uint32_t& mark) override {
        steps.push_back("enter " + Below(m_top, folder) + "@" + std::to_string(depth));
        mark = uint32_t(depth) + 100;
        std::vector<std::string> names;
        plat::FindData entry;
        const std::string pattern = std::string(folder) + testsupport::Sep() + "*";
        plat::SearchHandle search = plat::FindOpen(pattern.c_str(), plat::SearchKind::All, &entry);
        for (bool found = search != nullptr; found; found = plat::FindNext(search, &entry))
            if (walk::IsFolderEntry(entry) || m_linkName == entry.name) names.push_back(entry.name);
        plat::FindClose(search);
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            const bool link = name == m_linkName;
            subfolders.Add(name.c_str(), FILE_ATTRIBUTE_DIRECTORY | (link ? FILE_ATTRIBUTE_REPARSE_POINT : 0));
        }
    }
    walk::Visit Found(const char* folder, const walk::Subfolder& sub, const char* path, int32_t) override {
        const std::string name = Below(m_top, std::string(folder) + "/" + sub.name);
        steps.push_back("found " + name + (path == nullptr ? " (no room)" : ""));
        return name.find("pass") != std::string::npos ? walk::Visit::Pass : walk::Visit::Enter;
    }
    void Done(const char* folder, const walk::Subfolder& sub, int32_t) override {
        steps.push_back("done " + Below(m_top, std::string(folder) + "/" + sub.name));
    }
    void Leave(const char* folder, int32_t depth, uint32_t mark) override {
        steps.push_back("leave " + Below(m_top, folder) + "@" + std::to_string(depth) +
                        (mark == uint32_t(depth) + 100 ? "" : " (mark lost)"));
    }

private:
    std::string m_top;
    std::string m_linkName;
};

struct RealTreeCase {
    const char* label;
    std::vector<std::string> folders;
    size_t roomBeyondTop;  // 0: room for everything
    std::vector<std::string> steps;
    int64_t leftOut;
};

// Every step in order, links never entered, folders beyond the room
// counted and not entered, on real temporary trees.
TEST(TreeWalk, StepsOnRealTrees) {
    const std::vector<RealTreeCase> cases = {
        {"pre- and post-order",
         {"b", "a/x"},
         0,
         {"enter .@0", "found a", "enter a@1", "found a/x", "enter a/x@2", "leave a/x@2", "done a/x", "leave a@1",
          "done a", "found b", "enter b@1", "leave b@1", "done b", "leave .@0"},
         0},
        {"a link is shown and never entered",
         {"in"},
         0,
         {"enter .@0", "found in", "enter in@1", "leave in@1", "done in", "found link", "done link", "leave .@0"},
         0},
        {"a folder beyond the room is counted and not entered",
         {"aaaa/bbbb/cccc", "aaaa/pass1234"},
         10,
         {"enter .@0", "found aaaa", "enter aaaa@1", "found aaaa/bbbb (no room)", "done aaaa/bbbb",
          "found aaaa/pass1234 (no room)", "done aaaa/pass1234", "leave aaaa@1", "done aaaa", "found link", "done link",
          "leave .@0"},
         1},
        {"a folder passed by the policy is not entered",
         {"pass/deeper", "z"},
         0,
         {"enter .@0", "found pass", "done pass", "found z", "enter z@1", "leave z@1", "done z", "leave .@0"},
         0},
    };
    for (const RealTreeCase& c : cases) {
        SCOPED_TRACE(c.label);
        TempDir dir;
        const std::string top = dir / "top";
        dir.MakeDir("top");
        for (const std::string& folder : c.folders) dir.MakeDir("top/" + folder);
        const bool withLink = std::string(c.label).find("link") != std::string::npos ||
                              std::find(c.steps.begin(), c.steps.end(), "done link") != c.steps.end();
        if (withLink) {
            const std::string why = testsupport::LinkToOutsideOrWhy(dir, "top/link");
            if (!why.empty()) GTEST_SKIP() << why;
        }
        Recorder recorder(top, withLink ? "link" : "");
        int64_t leftOut = 0;
        const size_t room = c.roomBeyondTop != 0 ? top.size() + c.roomBeyondTop : 4096;
        const walk::WalkRules rules{room, EndSeparator::Reuse, &leftOut, false};
        EXPECT_EQ(walk::WalkTree(top.c_str(), recorder, rules), walk::WalkEnd::Whole);
        EXPECT_EQ(recorder.steps, c.steps);
        EXPECT_EQ(leftOut, c.leftOut);
    }
}

// A made-up tree, one folder per level: nothing on disk limits its depth.
class Chain final : public walk::TreePolicy {
public:
    explicit Chain(int32_t levels, int32_t stopAt = -1) : m_levels(levels), m_stopAt(stopAt) {}
    int32_t deepest = -1;
    int64_t entered = 0;
    int64_t left = 0;
    bool ordered = true;  // every Leave at the depth the walk is at
    intptr_t stackGrowth = 0;

    void Enter(const char*, int32_t depth, walk::Subfolders& subfolders, uint32_t&) override {
        char here = 0;
        const auto at = intptr_t(reinterpret_cast<uintptr_t>(&here));
        if (depth == 0) m_topStack = at;
        stackGrowth = std::max(stackGrowth, intptr_t(std::llabs(at - m_topStack)));
        ordered = ordered && depth == m_at;
        ++m_at;
        ++entered;
        deepest = std::max(deepest, depth);
        if (depth < m_levels) subfolders.Add("d", FILE_ATTRIBUTE_DIRECTORY);
    }
    walk::Visit Found(const char*, const walk::Subfolder&, const char*, int32_t) override { return walk::Visit::Enter; }
    void Done(const char*, const walk::Subfolder&, int32_t) override {}
    void Leave(const char* folder, int32_t depth, uint32_t) override {
        --m_at;
        ordered = ordered && depth == m_at && std::strlen(folder) == size_t(1 + 2 * depth);
        ++left;
    }
    bool Finished() const override { return m_stopAt >= 0 && entered > m_stopAt; }

private:
    int32_t m_levels;
    int32_t m_stopAt;
    int32_t m_at = 0;
    intptr_t m_topStack = 0;
};

struct DepthCase {
    const char* label;
    int32_t levels;
    int32_t stopAt;
    int32_t deepest;
    int64_t left;
};

// 10,000 levels and more without the stack growing, each folder left in
// order; a policy that has what it needs ends the walk at once.
TEST(TreeWalk, DepthWithoutStackGrowth) {
    const std::vector<DepthCase> cases = {
        {"10,000 levels", 10000, -1, 10000, 10001},
        {"20,000 levels", 20000, -1, 20000, 20001},
        {"finished halfway", 10000, 5000, 5000, 0},
    };
    for (const DepthCase& c : cases) {
        SCOPED_TRACE(c.label);
        Chain chain(c.levels, c.stopAt);
        const walk::WalkRules rules{size_t(4 * c.levels + 16), EndSeparator::Reuse, nullptr, false};
        EXPECT_EQ(walk::WalkTree("t", chain, rules), walk::WalkEnd::Whole);
        EXPECT_EQ(chain.deepest, c.deepest);
        EXPECT_EQ(chain.left, c.left);
        EXPECT_TRUE(chain.ordered);
        EXPECT_LT(chain.stackGrowth, 64 * 1024);
    }
}

// The top itself: refused when it does not fit (and counted), and a file
// system's root refused before any step for the deleting operations.
TEST(TreeWalk, TopsRefused) {
    TempDir dir;
    const std::string fileSystemRoot = testsupport::Sep();
    struct Case {
        const char* label;
        std::string top;
        size_t room;
        bool refuseRoot;
        int64_t leftOut;
    };
    const std::vector<Case> cases = {
        {"too long for the room", dir.path(), dir.path().size(), false, 1},
        {"a file system's root", fileSystemRoot, 4096, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Recorder recorder(c.top, "");
        int64_t leftOut = 0;
        const walk::WalkRules rules{c.room, EndSeparator::Reuse, &leftOut, c.refuseRoot};
        EXPECT_EQ(walk::WalkTree(c.top.c_str(), recorder, rules), walk::WalkEnd::Refused);
        EXPECT_TRUE(recorder.steps.empty());
        EXPECT_EQ(leftOut, c.leftOut);
    }
}

}  // namespace
