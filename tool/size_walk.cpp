#include "tool/size_walk.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "filelib/enum/file_finder.h"
#include "filelib/platform/platform.h"

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

// Asked only once the walk has failed: a walk that starts pays nothing for
// the reason.
plat::Error WhyTopNotRead(const char* dir) {
    const plat::Error why = plat::FolderOpenError(dir);
    return why == plat::Error::None ? plat::Error::Other : why;
}

// The path of the folder that the finder at `depth` searches: `dir`, then
// the subfolder each finder above it stands on.
std::string FolderPathAt(FinderChain& chain, const char* dir, size_t depth) {
    std::string path = dir;
    for (size_t level = 1; level < depth; ++level) {
        if (!path.empty() && path.back() != plat::kPathSep) path += plat::kPathSep;
        path += chain.At(level).m_fd.name;
    }
    return path;
}

// A folder whose search failed is left out only when it still cannot be
// searched: one that went away meanwhile holds nothing, and one met again
// below itself is skipped on purpose.
void NoteFolderNotRead(FinderChain& chain, const char* dir, size_t depth, WalkOutcome& outcome) {
    std::string path = FolderPathAt(chain, dir, depth);
    const plat::Error why = plat::FolderOpenError(path.c_str());
    if (why == plat::Error::None || why == plat::Error::NotFound) return;
    if (outcome.foldersLeftOut++ == 0) outcome.firstLeftOut = std::move(path);
}

}  // namespace

// Depth first: a folder's files are summed before its subfolders are
// entered, subfolders one after the other in the order the search yields
// them. Each folder is searched once: the search adds up its files first,
// then yields its subfolders. The top folder is opened once, by its path (a
// link named as the path is followed); every folder below is opened through
// its parent's open search, so path length never stops the walk, links
// inside are never followed, and a folder met again below itself is skipped.
WalkOutcome WalkTree(char* dir, WalkProgress* progress) {
    WalkOutcome outcome;
    FinderChain chain;
    if (!chain.At(0).OpenFolder(dir)) {
        outcome.topError = WhyTopNotRead(dir);
        return outcome;
    }
    size_t depth = 0;  // the finder at `depth` stands on a folder to enter
    for (;;) {
        CFileFinder& child = chain.At(depth + 1);
        const bool found = child.SumFilesAndFindFirstDirIn(chain.At(depth));
        const uint64_t folderBytes = child.GetFilesTotal();
        outcome.bytes += folderBytes;
        if (progress != nullptr && folderBytes != 0) progress->bytes.fetch_add(folderBytes, std::memory_order_relaxed);
        if (found) {
            ++depth;
            continue;
        }
        if (child.m_hFind == nullptr) {
            if (depth == 0) outcome.topError = WhyTopNotRead(dir);
            else NoteFolderNotRead(chain, dir, depth + 1, outcome);
        }
        child.Close();
        while (!chain.At(depth).FindNextDir()) {
            chain.At(depth).Close();
            if (depth == 0) return outcome;
            --depth;
        }
    }
}

uint64_t WalkSizeBytes(char* dir) { return WalkTree(dir, nullptr).bytes; }

double WalkSize(char* dir) { return double(WalkSizeBytes(dir)); }
