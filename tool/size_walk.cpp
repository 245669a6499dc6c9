#include "tool/size_walk.h"

#include <memory>
#include <vector>

#include "filelib/enum/file_finder.h"

namespace {

// One finder per level of the folder chain being walked. They live on the
// heap, not the call stack, so that depth is bounded by memory only, and
// are reused from one branch of the tree to the next.
class FinderChain {
public:
    CFileFinder& At(size_t depth) {
        while (m_levels.size() <= depth) {
            m_levels.push_back(std::make_unique<CFileFinder>());
            m_levels.back()->SetKeepLongPaths(true);
            m_levels.back()->SetSkipDates(true);
            m_levels.back()->SetSizesOnly(true);
        }
        return *m_levels[depth];
    }

private:
    std::vector<std::unique_ptr<CFileFinder>> m_levels;
};

}  // namespace

// Depth first: a folder's files are summed before its subfolders are
// entered, subfolders one after the other in the order the search yields
// them. Each folder is searched once: the search adds up its files first,
// then yields its subfolders. The top folder is opened once, by its path (a
// link named as the path is followed); every folder below is opened through
// its parent's open search, so path length never stops the walk, links
// inside are never followed, and a folder met again below itself is skipped.
uint64_t WalkSizeBytes(char* dir) {
    FinderChain chain;
    if (!chain.At(0).OpenFolder(dir)) return 0;
    uint64_t sum = 0;
    size_t depth = 0;  // the finder at `depth` stands on a folder to enter
    for (;;) {
        CFileFinder& child = chain.At(depth + 1);
        const bool found = child.SumFilesAndFindFirstDirIn(chain.At(depth));
        sum += child.GetFilesTotal();
        if (found) {
            ++depth;
            continue;
        }
        child.Close();
        while (!chain.At(depth).FindNextDir()) {
            chain.At(depth).Close();
            if (depth == 0) return sum;
            --depth;
        }
    }
}

double WalkSize(char* dir) { return double(WalkSizeBytes(dir)); }
