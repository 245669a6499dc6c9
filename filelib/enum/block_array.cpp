#include "filelib/enum/block_array.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// A zero-filled block that never moves while held; null when the size
// cannot be represented or memory is short.
void* NewBlock(int64_t count, uint32_t recSize) {
    if (count <= 0 || recSize == 0) return nullptr;
    const uint64_t bytes = uint64_t(count) * recSize;
    if (bytes > uint64_t(std::numeric_limits<int32_t>::max())) return nullptr;
    return std::calloc(size_t(count), recSize);
}

}  // namespace

CBlockArray::CBlockArray() : m_hMem(nullptr), m_nCount(0), m_nRecSize(0), m_pData(nullptr) {}

CBlockArray::~CBlockArray() { Free(); }

void CBlockArray::Adopt(void* block, int32_t count, uint32_t recSize) {
    std::free(m_hMem);
    m_hMem = block;
    m_pData = static_cast<unsigned char*>(block);
    m_nCount = count;
    m_nRecSize = recSize;
}

bool CBlockArray::Alloc(int32_t count, uint32_t recSize) {
    if (m_hMem != nullptr) return false;
    void* block = NewBlock(count, recSize);
    if (block == nullptr) return false;
    Adopt(block, count, recSize);
    return true;
}

// The new block is made before the old one is let go, so a failure keeps
// the records the array held.
bool CBlockArray::Grow(int32_t add, uint32_t recSize) {
    if (add <= 0 || recSize == 0) return false;
    if (m_hMem != nullptr && recSize != m_nRecSize) return false;
    const int64_t newCount = int64_t(m_nCount) + add;
    if (newCount > std::numeric_limits<int32_t>::max()) return false;
    void* block = NewBlock(newCount, recSize);
    if (block == nullptr) return false;
    if (m_nCount > 0) std::memcpy(block, m_pData, size_t(m_nCount) * recSize);
    Adopt(block, int32_t(newCount), recSize);
    return true;
}

void CBlockArray::Free() {
    std::free(m_hMem);
    m_hMem = nullptr;
    m_pData = nullptr;
    m_nCount = 0;
    m_nRecSize = 0;
}

void CBlockArray::ZeroAll() {
    if (m_hMem != nullptr) std::memset(m_pData, 0, size_t(m_nCount) * m_nRecSize);
}

void* CBlockArray::GetAt(int32_t index) const {
    if (m_hMem == nullptr || index < 0 || index >= m_nCount) return nullptr;
    return m_pData + size_t(index) * m_nRecSize;
}

bool CBlockArray::SetAt(int32_t index, const void* record) {
    void* place = GetAt(index);
    if (place == nullptr || record == nullptr) return false;
    std::memmove(place, record, m_nRecSize);
    return true;
}

bool CBlockArray::InsertAt(int32_t index, const void* record, uint32_t recSize) {
    if (record == nullptr) return false;
    if (recSize == 0) recSize = m_nRecSize;
    if (m_nCount == 0) {
        if (index != 0 || recSize == 0 || !Alloc(1, recSize)) return false;
        std::memcpy(m_pData, record, recSize);
        return true;
    }
    if (m_hMem == nullptr || index < 0 || index > m_nCount) return false;
    if (m_nCount == std::numeric_limits<int32_t>::max()) return false;
    const size_t size = m_nRecSize;
    unsigned char* block = static_cast<unsigned char*>(NewBlock(int64_t(m_nCount) + 1, m_nRecSize));
    if (block == nullptr) return false;
    std::memcpy(block, m_pData, size_t(index) * size);
    // A caller's record smaller than the array's is read only as far as it goes.
    std::memcpy(block + size_t(index) * size, record, recSize < size ? recSize : size);
    std::memcpy(block + size_t(index + 1) * size, m_pData + size_t(index) * size, size_t(m_nCount - index) * size);
    Adopt(block, m_nCount + 1, m_nRecSize);
    return true;
}

bool CBlockArray::RemoveAt(int32_t index) {
    if (index < 0 || index >= m_nCount) return false;
    if (m_nCount < 2) {
        Free();
        return true;
    }
    const size_t size = m_nRecSize;
    unsigned char* block = static_cast<unsigned char*>(NewBlock(int64_t(m_nCount) - 1, m_nRecSize));
    if (block == nullptr) return false;
    std::memcpy(block, m_pData, size_t(index) * size);
    std::memcpy(block + size_t(index) * size, m_pData + size_t(index + 1) * size, size_t(m_nCount - index - 1) * size);
    Adopt(block, m_nCount - 1, m_nRecSize);
    return true;
}

CMemBlock::CMemBlock() : m_nSize(0), m_hMem(nullptr), m_pData(nullptr) {}

CMemBlock::CMemBlock(int32_t size) : CMemBlock() { Alloc(size); }

CMemBlock::~CMemBlock() { Free(); }

bool CMemBlock::Alloc(int32_t size) {
    if (m_hMem != nullptr || size < 1) return false;
    m_hMem = std::calloc(size_t(size), 1);
    if (m_hMem == nullptr) return false;
    m_pData = static_cast<unsigned char*>(m_hMem);
    m_nSize = size;
    Zero();
    return true;
}

void CMemBlock::Zero() {
    if (m_hMem != nullptr) std::memset(m_pData, 0, size_t(m_nSize));
}

void CMemBlock::Free() {
    std::free(m_hMem);
    m_hMem = nullptr;
    m_pData = nullptr;
    m_nSize = 0;
}
