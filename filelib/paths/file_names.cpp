#include "filelib/paths/file_names.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

const char* FileNamePartInto(char (&result)[FILE_NAME_PART_SIZE], const char* path) {
    result[0] = 0;
    if (path == nullptr) return result;
    const char* name = path;
    for (const char* p = path; *p != 0; ++p)
        if (IsSeparator(*p)) name = p + 1;
    size_t length = std::strlen(name);
    // Title and extension joined again: an empty extension drops its dot.
    if (length > 0 && name[length - 1] == '.') --length;
    if (length >= sizeof result) return result;
    std::memcpy(result, name, length);
    result[length] = 0;
    return result;
}

}  // namespace

// The runtime's strupr in its default locale: only a-z change.
void UpperAsciiInPlace(char* text) {
    for (char* p = text; *p != 0; ++p)
        if (*p >= 'a' && *p <= 'z') *p = char(*p - 'a' + 'A');
}

const char* GetFileNamePart(const char* path) {
    static char result[FILE_NAME_PART_SIZE];
    return FileNamePartInto(result, path);
}

const char* GetFileNamePart2(const char* path) {
    static char result[FILE_NAME_PART_SIZE];
    return FileNamePartInto(result, path);
}

const char* MakeSortKeyName(char* name) {
    static char key[SORT_KEY_SIZE];
    key[0] = 0;
    if (name == nullptr) return key;
    UpperAsciiInPlace(name);
    const size_t length = std::strlen(name);
    if (length >= sizeof key) return key;
    for (size_t i = 0; i <= length; ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        key[i] = char(c == 0xE4 ? 0xC4 : c == 0xF6 ? 0xD6 : c == 0xFC ? 0xDC : c);
    }
    return key;
}

void* GetListItem(void* base, int index, int size) {
    return static_cast<unsigned char*>(base) + ptrdiff_t(index) * size;
}

const void* GetListItem(const void* base, int index, int size) {
    return static_cast<const unsigned char*>(base) + ptrdiff_t(index) * size;
}

// ------------------------------------------------------------ SortNameList

namespace {

bool g_failWorkMemory = false;

template <typename T>
std::unique_ptr<T[]> WorkArray(size_t count) {
    if (g_failWorkMemory) return nullptr;
    return std::unique_ptr<T[]>(new (std::nothrow) T[count]);
}

struct RankItem {
    uint64_t prefix;  // the key's first eight bytes, big-endian: compares as strcmp does
    uint32_t index;
};

uint64_t KeyPrefix(const char* key) {
    uint64_t prefix = 0;
    int k = 0;
    for (; k < 8 && key[k] != 0; ++k) prefix = (prefix << 8) | static_cast<unsigned char>(key[k]);
    return k == 0 ? 0 : prefix << (8 * (8 - k));
}

// The selection sort is replayed swap by swap, but each step finds its
// smallest name in a tournament tree over the positions instead of a scan:
// names are reduced once to ranks (equal names, equal rank), and each node
// holds the smallest (rank, position) below it, so the root names the
// leftmost smallest name, the one the scan would have picked.
class SelectionReplay {
public:
    bool Prepare(const unsigned char* base, uint32_t count, size_t size);
    void Run(unsigned char* base, size_t size);

private:
    static constexpr uint64_t kPlaced = UINT64_MAX;

    static uint64_t Leaf(uint32_t rank, uint32_t position) { return (uint64_t(rank) << 32) | position; }
    void Set(uint32_t position, uint64_t leaf);

    uint32_t m_count = 0;
    uint32_t m_leaves = 0;
    std::unique_ptr<uint64_t[]> m_tree;  // m_tree[m_leaves + p]: rank and position p
    std::unique_ptr<char[]> m_held;      // one name on its way during a swap
};

bool SelectionReplay::Prepare(const unsigned char* base, uint32_t count, size_t size) {
    m_count = count;
    m_leaves = 1;
    while (m_leaves < count) m_leaves *= 2;

    size_t keyBytes = 0;
    for (uint32_t i = 0; i < count; ++i) keyBytes += std::strlen(reinterpret_cast<const char*>(base + i * size)) + 1;
    std::unique_ptr<char[]> keys = WorkArray<char>(keyBytes);
    std::unique_ptr<const char*[]> keyOf = WorkArray<const char*>(count);
    std::unique_ptr<RankItem[]> order = WorkArray<RankItem>(count);
    m_tree = WorkArray<uint64_t>(size_t(2) * m_leaves);
    m_held = WorkArray<char>(size);
    if (!keys || !keyOf || !order || !m_tree || !m_held) return false;

    char* next = keys.get();
    for (uint32_t i = 0; i < count; ++i) {
        const char* name = reinterpret_cast<const char*>(base + i * size);
        const size_t length = std::strlen(name);
        std::memcpy(next, name, length + 1);
        UpperAsciiInPlace(next);
        keyOf[i] = next;
        order[i] = {KeyPrefix(next), i};
        next += length + 1;
    }
    // Most comparisons end in the first eight bytes, kept beside the index,
    // so the sort seldom has to reach the keys themselves.
    const auto sameKey = [&](const RankItem& a, const RankItem& b) {
        return a.prefix == b.prefix && std::strcmp(keyOf[a.index], keyOf[b.index]) == 0;
    };
    std::sort(order.get(), order.get() + count, [&](const RankItem& a, const RankItem& b) {
        if (a.prefix != b.prefix) return a.prefix < b.prefix;
        const int c = std::strcmp(keyOf[a.index], keyOf[b.index]);
        return c < 0 || (c == 0 && a.index < b.index);
    });
    uint32_t rank = 0;
    for (uint32_t k = 0; k < count; ++k) {
        if (k > 0 && !sameKey(order[k - 1], order[k])) ++rank;
        m_tree[m_leaves + order[k].index] = Leaf(rank, order[k].index);
    }
    for (uint32_t p = count; p < m_leaves; ++p) m_tree[m_leaves + p] = kPlaced;
    for (uint32_t node = m_leaves - 1; node >= 1; --node)
        m_tree[node] = std::min(m_tree[2 * node], m_tree[2 * node + 1]);
    return true;
}

void SelectionReplay::Set(uint32_t position, uint64_t leaf) {
    uint32_t node = m_leaves + position;
    m_tree[node] = leaf;
    for (node /= 2; node >= 1; node /= 2) m_tree[node] = std::min(m_tree[2 * node], m_tree[2 * node + 1]);
}

void SelectionReplay::Run(unsigned char* base, size_t size) {
    for (uint32_t i = 0; i + 1 < m_count; ++i) {
        const uint32_t j = uint32_t(m_tree[1]);
        if (j != i) {
            char* at = reinterpret_cast<char*>(base + i * size);
            char* from = reinterpret_cast<char*>(base + j * size);
            // Every name ends inside its record, so each fits the other's.
            const size_t fromLength = std::strlen(from);
            std::memcpy(m_held.get(), from, fromLength + 1);
            std::memcpy(from, at, std::strlen(at) + 1);
            std::memcpy(at, m_held.get(), fromLength + 1);
            // The name that was at i now waits at j with its rank.
            Set(j, Leaf(uint32_t(m_tree[m_leaves + i] >> 32), j));
        }
        Set(i, kPlaced);
    }
}

}  // namespace

int SortNameList(void* base, int count, int size) {
    if (base == nullptr || count < 2 || size < 1) return 0;
    unsigned char* records = static_cast<unsigned char*>(base);
    for (int i = 0; i < count; ++i)
        if (std::memchr(records + size_t(i) * size, 0, size_t(size)) == nullptr) return 0;
    SelectionReplay replay;
    if (!replay.Prepare(records, uint32_t(count), size_t(size))) return 0;
    replay.Run(records, size_t(size));
    return 0;
}

namespace filelib_testing {
void FailNameListWorkMemory(bool fail) { g_failWorkMemory = fail; }
}  // namespace filelib_testing
