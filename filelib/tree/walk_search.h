// What the tree walkers share beside their walk (enum/tree_walk.h):
// extension lists of three-character groups and the search of a folder's
// files by them. Their paths and searches are the library's
// (paths/path_join.h, paths/drive_reconnect.h).
#pragma once

#include <cstddef>
#include <type_traits>

#include "filelib/enum/tree_walk.h"
#include "filelib/paths/path_join.h"
#include "filelib/platform/platform.h"

namespace walk {

// How the walks join their folders: a folder given with a separator at its
// end (a root such as "C:\" or "/") keeps that one as the only one.
constexpr EndSeparator kJoin = EndSeparator::Reuse;

// An extension list such as "txtdocxls": one group per three characters,
// one or two characters left over ignored; a list shorter than three
// characters is the single group "*" (every file). Or, for the pattern
// operations, one group that is a whole-name pattern ("*.html", "x.tmp").
class ExtensionGroups {
public:
    explicit ExtensionGroups(const char* extList);
    // The single group that selects by the whole name; the text must
    // outlive the groups.
    static ExtensionGroups WholeName(const char* namePattern);
    int Count() const { return m_count; }
    // The single group "*".
    bool AllFiles() const { return m_allFiles; }
    // The search pattern of group i in `folder` ("folder/*.txt", or
    // "folder/x.tmp" for a whole name), into out of `size`; false when the
    // group would reach outside the folder (it then matches nothing) or
    // the pattern does not fit.
    bool Pattern(int index, const char* folder, char* out, size_t size) const;

private:
    ExtensionGroups() = default;

    const char* m_list = "";
    int m_count = 0;
    bool m_allFiles = false;
    bool m_wholeName = false;
};

// What a visitor of ForEachGroupFile asks for after a file.
enum class GroupVisit {
    Next,      // the next file of this group
    EndGroup,  // this group's search ends here; the next group is searched
};

// The search behind ForEachGroupFile: `visit(context, file)` per file.
using GroupFileVisitor = GroupVisit (*)(void* context, const plat::FindData& file);
bool SearchGroupFiles(const char* folder, const ExtensionGroups& groups, size_t patternSize,
                      GroupFileVisitor visit, void* context);

// Searches one folder for the files of each group in turn, in list order,
// each group's files in search order (a file that two groups match comes
// twice), and calls visit(file) for each: folders are never visited. A
// search that fails on a drive letter reconnects the drive and is tried
// once more. A group is skipped when it would reach outside the folder or
// when its pattern does not fit `patternSize` characters (the caller's
// buffers decide; never more than plat::kLongestPattern). False when the
// folder could not be read (not when it is not there): files may have been
// missed.
template <class VisitFile>
bool ForEachGroupFile(const char* folder, const ExtensionGroups& groups, size_t patternSize, VisitFile&& visit) {
    using Visitor = typename std::remove_reference<VisitFile>::type;
    return SearchGroupFiles(
        folder, groups, patternSize,
        [](void* context, const plat::FindData& file) { return (*static_cast<Visitor*>(context))(file); },
        const_cast<void*>(static_cast<const void*>(&visit)));
}

// Whether a search that ended (found nothing more, or nothing at all) has
// seen all there was: false when the folder could not be read.
inline bool SearchEndedWhole() { return plat::LastSearchError() == plat::Error::NotFound; }

}  // namespace walk
