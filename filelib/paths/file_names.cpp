#include "filelib/paths/file_names.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The runtime's strupr in its default locale: only a-z change.
void UpperAsciiInPlace(char* text) {
    for (char* p = text; *p != 0; ++p)
        if (*p >= 'a' && *p <= 'z') *p = char(*p - 'a' + 'A');
}

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

// The selection sort is replayed swap by swap, but each step finds its
// smallest name in a tournament tree over the positions instead of a scan:
// names are reduced once to ranks (equal names, equal rank), and each node
// holds the leftmost position of the smallest rank below it, which is the
// name the scan would have picked.
class SelectionReplay {
public:
    bool Prepare(const unsigned char* base, uint32_t count, size_t size);
    void Run(unsigned char* base, size_t size);

private:
    static constexpr uint32_t kPlaced = UINT32_MAX;

    bool Below(uint32_t a, uint32_t b) const {
        return m_rank[a] < m_rank[b] || (m_rank[a] == m_rank[b] && a < b);
    }
    void Update(uint32_t position);

    uint32_t m_count = 0;
    uint32_t m_leaves = 0;
    std::unique_ptr<uint32_t[]> m_rank;  // rank of the name at each position
    std::unique_ptr<uint32_t[]> m_tree;  // m_tree[m_leaves + p] = p
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
    std::unique_ptr<uint32_t[]> order = WorkArray<uint32_t>(count);
    m_rank = WorkArray<uint32_t>(m_leaves);
    m_tree = WorkArray<uint32_t>(size_t(2) * m_leaves);
    m_held = WorkArray<char>(size);
    if (!keys || !keyOf || !order || !m_rank || !m_tree || !m_held) return false;

    char* next = keys.get();
    for (uint32_t i = 0; i < count; ++i) {
        const char* name = reinterpret_cast<const char*>(base + i * size);
        const size_t length = std::strlen(name);
        std::memcpy(next, name, length + 1);
        UpperAsciiInPlace(next);
        keyOf[i] = next;
        next += length + 1;
        order[i] = i;
    }
    // strcmp compares as unsigned char, as the scan's comparison does.
    std::sort(order.get(), order.get() + count, [&](uint32_t a, uint32_t b) {
        const int c = std::strcmp(keyOf[a], keyOf[b]);
        return c < 0 || (c == 0 && a < b);
    });
    uint32_t rank = 0;
    for (uint32_t k = 0; k < count; ++k) {
        if (k > 0 && std::strcmp(keyOf[order[k - 1]], keyOf[order[k]]) != 0) ++rank;
        m_rank[order[k]] = rank;
    }
    for (uint32_t p = count; p < m_leaves; ++p) m_rank[p] = kPlaced;
    for (uint32_t p = 0; p < m_leaves; ++p) m_tree[m_leaves + p] = p;
    for (uint32_t node = m_leaves - 1; node >= 1; --node) {
        const uint32_t left = m_tree[2 * node], right = m_tree[2 * node + 1];
        m_tree[node] = Below(right, left) ? right : left;
    }
    return true;
}

void SelectionReplay::Update(uint32_t position) {
    for (uint32_t node = (m_leaves + position) / 2; node >= 1; node /= 2) {
        const uint32_t left = m_tree[2 * node], right = m_tree[2 * node + 1];
        m_tree[node] = Below(right, left) ? right : left;
    }
}

void SelectionReplay::Run(unsigned char* base, size_t size) {
    for (uint32_t i = 0; i + 1 < m_count; ++i) {
        const uint32_t j = m_tree[1];
        if (j != i) {
            char* at = reinterpret_cast<char*>(base + i * size);
            char* from = reinterpret_cast<char*>(base + j * size);
            // Every name ends inside its record, so each fits the other's.
            std::memcpy(m_held.get(), from, std::strlen(from) + 1);
            std::memcpy(from, at, std::strlen(at) + 1);
            std::memcpy(at, m_held.get(), std::strlen(m_held.get()) + 1);
            m_rank[j] = m_rank[i];
            Update(j);
        }
        m_rank[i] = kPlaced;
        Update(i);
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
