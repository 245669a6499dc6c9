// The one walk over a folder tree that the library's tree operations share.
//
// The walk goes depth first and keeps its open folders on the heap, so the
// depth of a tree never threatens the stack. It names every folder by its
// path, joined from its parent's and the subfolder's name, and holds the
// rules that every tree operation keeps:
// - a subfolder that is a link or junction (a reparse point; on POSIX a
//   link is never a folder) is shown to the operation but never entered,
//   so no walk leaves the tree it was given;
// - a folder whose path does not fit the operation's room is not entered
//   and is counted in the operation's left-out counter, as is a walk that
//   ran out of memory: a cut path would name another folder;
// - on request a file system's root is refused before anything is done.
// What an operation does in each folder (which files it takes, how it
// lists and orders the subfolders, what it records) is its policy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "filelib/paths/path_join.h"
#include "filelib/platform/platform.h"

namespace walk {

// A growing array of plain records that reports a lack of memory instead
// of throwing; it doubles its room, so filling it is linear.
template <class T>
class PlainArray {
    static_assert(std::is_trivially_copyable<T>::value, "records are moved as bytes");

public:
    PlainArray() = default;
    ~PlainArray() { std::free(m_data); }
    PlainArray(const PlainArray&) = delete;
    PlainArray& operator=(const PlainArray&) = delete;

    // A zeroed record at the end, or null when memory is short.
    T* Append() { return AppendMany(1); }
    // `count` zeroed records at the end, or null when memory is short.
    T* AppendMany(size_t count) {
        if (count > SIZE_MAX / sizeof(T) - m_count) return nullptr;
        if (m_count + count > m_room) {
            size_t room = m_room == 0 ? 16 : m_room;
            while (room < m_count + count) room = room > SIZE_MAX / sizeof(T) / 2 ? m_count + count : room * 2;
            void* data = std::realloc(m_data, room * sizeof(T));
            if (data == nullptr) return nullptr;
            m_data = static_cast<T*>(data);
            m_room = room;
        }
        T* records = m_data + m_count;
        m_count += count;
        std::memset(static_cast<void*>(records), 0, count * sizeof(T));
        return records;
    }
    size_t Count() const { return m_count; }
    T& operator[](size_t index) { return m_data[index]; }
    const T& operator[](size_t index) const { return m_data[index]; }
    T* Data() { return m_data; }
    void Clear() { m_count = 0; }

private:
    T* m_data = nullptr;
    size_t m_count = 0;
    size_t m_room = 0;
};

// A subfolder entry of a search: a folder other than "." and "..".
bool IsFolderEntry(const plat::FindData& entry);
// A folder the walks may enter: links and junctions are listed as the
// search gives them but never followed out of the tree.
bool MayEnter(const plat::FindData& entry);

// One subfolder as its folder's listing found it.
struct Subfolder {
    const char* name;
    uint32_t attrib;  // as the search gave them
    int64_t tWrite;
    bool IsLink() const { return (attrib & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
};

// The subfolders of one open folder, copied aside in the order the walk
// visits them: the walk below overwrites whatever the listing used.
class Subfolders {
public:
    // Keeps a copy; false when memory is short.
    bool Add(const char* name, uint32_t attrib, int64_t tWrite = 0);
    bool Add(const plat::FindData& entry) { return Add(entry.name, entry.attrib, entry.tWrite); }
    size_t Count() const { return m_kept.Count(); }
    Subfolder At(size_t index) const;
    // Forgets them all, keeping the room.
    void Clear() {
        m_kept.Clear();
        m_names.Clear();
    }

private:
    struct Kept {
        size_t nameOffset;
        uint32_t attrib;
        int64_t tWrite;
    };
    PlainArray<Kept> m_kept;
    PlainArray<char> m_names;
};

// How an operation's walk names its folders.
struct WalkRules {
    // A folder's path stays below this many characters, or the folder is
    // not entered and is counted as left out.
    size_t folderRoom;
    // How a subfolder's name is joined to its folder's path.
    EndSeparator join;
    // The operation's left-out counter (g_nFinderLeftOut, g_nTreeLeftOut),
    // or null for an operation that counts nothing.
    int64_t* leftOut;
    // Whether a file system's root (plat::IsFileSystemRoot) is refused as
    // the top of the walk: the deleting operations.
    bool refuseFileSystemRoot;
};

// What an operation asks for a subfolder found.
enum class Visit {
    Enter,  // walk its tree (unless it is a link or its path does not fit)
    Pass,   // leave it
};

// An operation's policy: its work at each point of the walk. The folder
// texts stay valid during the call only.
class TreePolicy {
public:
    // Pre-order: the folder at `depth` (0 for the top) is reached. Does the
    // folder's own work and hands its subfolders, in the order they are to
    // be visited, to `subfolders`. `mark` is the operation's own note on
    // this folder, handed back at Leave.
    virtual void Enter(const char* folder, int32_t depth, Subfolders& subfolders, uint32_t& mark) = 0;
    // A subfolder of the folder at `depth`, before its tree. `path` is its
    // path, or null when it does not fit the room.
    virtual Visit Found(const char*, const Subfolder&, const char* /*path*/, int32_t) { return Visit::Enter; }
    // The same subfolder after its tree, or at once when it was not entered.
    virtual void Done(const char*, const Subfolder&, int32_t) {}
    // Post-order: all subfolders of the folder are done.
    virtual void Leave(const char*, int32_t, uint32_t /*mark*/) {}
    // Whether the operation has what it needs: asked after every step, and
    // the walk ends at once, no further step of any folder taken.
    virtual bool Finished() const { return false; }

protected:
    ~TreePolicy() = default;
};

enum class WalkEnd {
    Whole,     // walked to its end, or until the policy finished
    Refused,   // the top was refused (a file system's root, or too long): nothing done
    CutShort,  // memory ran out; counted as left out
};

// Walks the tree below `top` with the policy, under the rules.
WalkEnd WalkTree(const char* top, TreePolicy& policy, const WalkRules& rules);

}  // namespace walk
