// File names of paths, sort keys, and lists of fixed-size records that each
// begin with a zero-terminated name.
#pragma once

#include <cstddef>

// The path's file name with its extension (everything after the last '\\'
// or '/'); a name ending in a dot loses that dot. A name of 600 characters
// or more gives an empty text rather than a cut one. One static buffer each,
// so two results can be held at once.
constexpr int FILE_NAME_PART_SIZE = 600;
const char* GetFileNamePart(const char* path);
const char* GetFileNamePart2(const char* path);

// Upper-cases a-z in place, as the runtime's strupr does in its default
// locale; every other byte stays.
void UpperAsciiInPlace(char* text);

// Upper-cases `name` in place (a-z only), and returns a copy in a static
// buffer in which the umlauts ä, ö, ü (Windows-1252) are folded to Ä, Ö, Ü
// as well. A name that does not fit the buffer gives an empty key.
constexpr int SORT_KEY_SIZE = 3000;
const char* MakeSortKeyName(char* name);

// Record `index` of a list of records of `size` bytes: base + index * size.
void* GetListItem(void* base, int index, int size);
const void* GetListItem(const void* base, int index, int size);

// Sorts the names of `count` records of `size` bytes in place, ascending,
// comparing byte-wise with a-z upper-cased. Only the names move (each
// written with its terminator over the front of its new record); the bytes
// behind them stay. The order is that of a selection sort that takes, for
// each position, the first smallest name from there on and swaps it in, so
// equal names end up where that sort puts them. The list stays as it was
// when its work memory cannot be had or a name does not end inside its
// record. Always 0.
int SortNameList(void* base, int count, int size);

namespace filelib_testing {
// Makes the work-memory requests of SortNameList fail while set, so callers
// can see that the list is left as it was.
void FailNameListWorkMemory(bool fail);
}  // namespace filelib_testing
