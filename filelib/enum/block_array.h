// Growable arrays of fixed-size records in one zero-filled block, and a
// plain zero-filled memory block.
#pragma once

#include <cstdint>

// Records lie back to back, record i at i * record size, so a whole array
// can be handed to a sort routine. There is no spare capacity: every change
// of length builds a block of exactly the new size.
class CBlockArray {
public:
    CBlockArray();
    ~CBlockArray();
    CBlockArray(const CBlockArray&) = delete;
    CBlockArray& operator=(const CBlockArray&) = delete;

    bool Alloc(int32_t count, uint32_t recSize);
    bool Grow(int32_t add, uint32_t recSize);
    void Free();
    void ZeroAll();
    void* GetAt(int32_t index) const;
    void SetRecSize(uint32_t recSize) { m_nRecSize = recSize; }
    bool SetAt(int32_t index, const void* record);
    bool InsertAt(int32_t index, const void* record, uint32_t recSize);
    bool InsertAt(int32_t index, const void* record) { return InsertAt(index, record, 0); }
    bool Add(const void* record) { return InsertAt(m_nCount, record, 0); }
    bool Add(const void* record, uint32_t recSize) { return InsertAt(m_nCount, record, recSize); }
    bool RemoveAt(int32_t index);

    int32_t GetCount() const { return m_nCount; }
    uint32_t GetRecSize() const { return m_nRecSize; }
    void* GetData() const { return m_pData; }

private:
    void Adopt(void* block, int32_t count, uint32_t recSize);

    void* m_hMem;
    int32_t m_nCount;
    uint32_t m_nRecSize;
    unsigned char* m_pData;
};

// One zero-filled block of a given byte size.
class CMemBlock {
public:
    CMemBlock();
    explicit CMemBlock(int32_t size);
    ~CMemBlock();
    CMemBlock(const CMemBlock&) = delete;
    CMemBlock& operator=(const CMemBlock&) = delete;

    bool Alloc(int32_t size);
    void Zero();
    void Free();

    int32_t GetSize() const { return m_nSize; }
    void* GetData() const { return m_pData; }

private:
    int32_t m_nSize;
    void* m_hMem;
    unsigned char* m_pData;
};
