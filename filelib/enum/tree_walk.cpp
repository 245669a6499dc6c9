#include "filelib/enum/tree_walk.h"

#include <memory>
#include <new>
#include <string>
#include <vector>

#include "filelib/platform/name_match.h"

namespace walk {

bool IsFolderEntry(const plat::FindData& entry) {
    return (entry.attrib & FILE_ATTRIBUTE_DIRECTORY) != 0 && !plat::IsDotName(entry.name);
}

bool MayEnter(const plat::FindData& entry) {
    return IsFolderEntry(entry) && (entry.attrib & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

bool Subfolders::Add(const char* name, uint32_t attrib, int64_t tWrite) {
    const size_t length = std::strlen(name) + 1;
    const size_t offset = m_names.Count();
    char* text = m_names.AppendMany(length);
    if (text == nullptr) return false;
    Kept* kept = m_kept.Append();
    if (kept == nullptr) return false;
    std::memcpy(text, name, length);
    *kept = {offset, attrib, tWrite};
    return true;
}

Subfolder Subfolders::At(size_t index) const {
    const Kept& kept = m_kept[index];
    return {&m_names[kept.nameOffset], kept.attrib, kept.tWrite};
}

namespace {

// One open folder. Its path is the walk's current path up to pathLength:
// a subfolder's path always begins with its folder's.
// Levels are kept for reuse once closed, with the room of their lists.
struct Level {
    size_t pathLength = 0;
    int32_t depth = 0;
    uint32_t mark = 0;
    size_t next = 0;  // the subfolder to visit next
    Subfolders subfolders;
};

class Walk {
public:
    Walk(TreePolicy& policy, const WalkRules& rules) : m_policy(policy), m_rules(rules) {}

    WalkEnd Run(const char* top);

private:
    bool Open(int32_t depth);
    // The next step below the innermost open folder; false once the walk is over.
    bool Step();
    void LeftOut() {
        if (m_rules.leftOut != nullptr) ++*m_rules.leftOut;
    }

    Level& Innermost() { return *m_levels[m_open - 1]; }

    TreePolicy& m_policy;
    const WalkRules& m_rules;
    std::vector<std::unique_ptr<Level>> m_levels;
    size_t m_open = 0;  // the first m_open levels are open
    std::string m_path;   // the innermost open folder's
    std::vector<char> m_child;
};

bool Walk::Open(int32_t depth) {
    if (m_open == m_levels.size()) m_levels.push_back(std::unique_ptr<Level>(new Level));
    Level& open = *m_levels[m_open++];
    open.pathLength = m_path.size();
    open.depth = depth;
    open.mark = 0;
    open.next = 0;
    open.subfolders.Clear();
    m_policy.Enter(m_path.c_str(), depth, open.subfolders, open.mark);
    return !m_policy.Finished();
}

bool Walk::Step() {
    Level& level = Innermost();
    if (level.next == level.subfolders.Count()) {
        m_policy.Leave(m_path.c_str(), level.depth, level.mark);
        if (--m_open == 0 || m_policy.Finished()) return false;
        Level& parent = Innermost();
        m_path.resize(parent.pathLength);
        m_policy.Done(m_path.c_str(), parent.subfolders.At(parent.next++), parent.depth);
        return !m_policy.Finished();
    }
    const Subfolder sub = level.subfolders.At(level.next);
    const bool fits = JoinPath(m_child.data(), m_child.size(), m_path.c_str(), sub.name, m_rules.join);
    const Visit visit = m_policy.Found(m_path.c_str(), sub, fits ? m_child.data() : nullptr, level.depth);
    if (m_policy.Finished()) return false;
    if (visit == Visit::Enter && !sub.IsLink()) {
        if (fits) {
            m_path = m_child.data();
            return Open(level.depth + 1);
        }
        LeftOut();
    }
    m_policy.Done(m_path.c_str(), sub, level.depth);
    ++level.next;
    return !m_policy.Finished();
}

WalkEnd Walk::Run(const char* top) {
    if (top == nullptr) return WalkEnd::Refused;
    if (std::strlen(top) >= m_rules.folderRoom) {
        LeftOut();
        return WalkEnd::Refused;
    }
    if (m_rules.refuseFileSystemRoot && plat::IsFileSystemRoot(top)) return WalkEnd::Refused;
    try {
        m_child.resize(m_rules.folderRoom);
        m_path = top;
        if (!Open(0)) return WalkEnd::Whole;
        while (Step()) {
        }
    } catch (const std::bad_alloc&) {
        LeftOut();
        return WalkEnd::CutShort;
    }
    return WalkEnd::Whole;
}

}  // namespace

WalkEnd WalkTree(const char* top, TreePolicy& policy, const WalkRules& rules) {
    Walk walk(policy, rules);
    return walk.Run(top);
}

}  // namespace walk
