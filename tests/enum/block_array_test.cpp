#include "filelib/enum/block_array.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Rec {
    char tag;
    int value;
};

std::string Tags(const CBlockArray& array) {
    std::string tags;
    for (int i = 0; i < array.GetCount(); ++i) tags += static_cast<Rec*>(array.GetAt(i))->tag;
    return tags;
}

CBlockArray& Fill(CBlockArray& array, const char* tags) {
    for (const char* t = tags; *t; ++t) {
        Rec r{*t, int(*t)};
        EXPECT_TRUE(array.Add(&r, sizeof r));
    }
    return array;
}

TEST(BlockArray, NewArrayNeedsRecordSizeBeforeAdd) {
    CBlockArray array;
    Rec r{'A', 1};
    EXPECT_FALSE(array.Add(&r));
    array.SetRecSize(sizeof r);
    EXPECT_TRUE(array.Add(&r));
    EXPECT_EQ("A", Tags(array));
}

TEST(BlockArray, InsertAtPositions) {
    struct Case {
        int index;
        bool ok;
        const char* expected;
    } cases[] = {{0, true, "NPQR"}, {1, true, "PNQR"}, {3, true, "PQRN"}, {4, false, "PQR"}, {-1, false, "PQR"}};
    for (const Case& c : cases) {
        CBlockArray array;
        Fill(array, "PQR");
        Rec n{'N', 0};
        EXPECT_EQ(c.ok, array.InsertAt(c.index, &n)) << c.index;
        EXPECT_EQ(c.expected, Tags(array)) << c.index;
    }
}

TEST(BlockArray, RemoveAtKeepsOrderAndLastRemovalClearsRecordSize) {
    CBlockArray array;
    Fill(array, "PQR");
    EXPECT_FALSE(array.RemoveAt(3));
    EXPECT_FALSE(array.RemoveAt(-1));
    EXPECT_TRUE(array.RemoveAt(1));
    EXPECT_EQ("PR", Tags(array));
    EXPECT_TRUE(array.RemoveAt(0));
    EXPECT_TRUE(array.RemoveAt(0));
    EXPECT_EQ(0, array.GetCount());
    EXPECT_EQ(0u, array.GetRecSize());
    Rec r{'X', 0};
    EXPECT_FALSE(array.Add(&r));
}

TEST(BlockArray, IndexesOutOfRangeAreRefused) {
    CBlockArray array;
    EXPECT_EQ(nullptr, array.GetAt(0));
    Fill(array, "AB");
    Rec r{'Z', 0};
    for (int index : {-1, 2, 100}) {
        EXPECT_EQ(nullptr, array.GetAt(index));
        EXPECT_FALSE(array.SetAt(index, &r));
    }
    EXPECT_TRUE(array.SetAt(1, &r));
    EXPECT_EQ("AZ", Tags(array));
}

TEST(BlockArray, AllocAndGrow) {
    CBlockArray array;
    EXPECT_FALSE(array.Grow(0, sizeof(Rec)));
    EXPECT_FALSE(array.Grow(2, 0));
    EXPECT_TRUE(array.Grow(2, sizeof(Rec)));
    ASSERT_EQ(2, array.GetCount());
    EXPECT_EQ(0, static_cast<Rec*>(array.GetAt(1))->value);
    EXPECT_FALSE(array.Alloc(1, sizeof(Rec)));  // already holds a block
    EXPECT_EQ(2, array.GetCount());
    Rec r{'K', 7};
    array.SetAt(0, &r);
    EXPECT_TRUE(array.Grow(3, sizeof(Rec)));
    EXPECT_EQ(5, array.GetCount());
    EXPECT_EQ(7, static_cast<Rec*>(array.GetAt(0))->value);
    EXPECT_EQ(0, static_cast<Rec*>(array.GetAt(4))->value);
    // A different record size would read past the old records.
    EXPECT_FALSE(array.Grow(1, sizeof(Rec) * 2));
    EXPECT_FALSE(array.Grow(0x7fffffff, sizeof(Rec)));
    EXPECT_EQ(5, array.GetCount());
}

TEST(BlockArray, ImpossibleSizesAreRefused) {
    CBlockArray array;
    EXPECT_FALSE(array.Alloc(0x7fffffff, 0x7fffffff));
    EXPECT_FALSE(array.Alloc(-1, 4));
    EXPECT_EQ(nullptr, array.GetData());
}

TEST(MemBlock, AllocOnceAndZeroed) {
    CMemBlock empty(0);
    EXPECT_EQ(0, empty.GetSize());
    EXPECT_EQ(nullptr, empty.GetData());
    EXPECT_TRUE(empty.Alloc(1));
    EXPECT_FALSE(empty.Alloc(1));
    CMemBlock block(16);
    ASSERT_EQ(16, block.GetSize());
    auto* bytes = static_cast<unsigned char*>(block.GetData());
    for (int i = 0; i < 16; ++i) EXPECT_EQ(0, bytes[i]);
    bytes[3] = 9;
    block.Zero();
    EXPECT_EQ(0, bytes[3]);
    block.Free();
    EXPECT_EQ(0, block.GetSize());
}

}  // namespace
