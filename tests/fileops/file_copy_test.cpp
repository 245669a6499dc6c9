#include "filelib/fileops/file_copy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "filelib/enum/file_finder.h"
#include "filelib/fileops/file_ops.h"
#include "filelib/tree/tree_ops.h"
#include "fileops/sandbox.h"
#include "support/file_system.h"
#include "support/process.h"

namespace {

using namespace fileops_test;
using testsupport::Sep;

// Both copies under one signature, each with everything kept that it can keep.
struct CopyForm {
    const char* name;
    std::function<int(const char*, const char*)> copy;
};

const CopyForm kForms[] = {
    {"CopyFileWithTimes", [](const char* s, const char* d) { return CopyFileWithTimes(s, d); }},
    {"CopyFileChecked", [](const char* s, const char* d) { return CopyFileChecked(s, d, true, true); }},
};

std::string Pattern(size_t size) {
    std::string data(size, 0);
    for (size_t i = 0; i < size; ++i) data[i] = char((i * 131 + i / 997) & 0xFF);
    return data;
}

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

unsigned ModeOf(const std::string& path) { return unsigned(fs::symlink_status(path).permissions()) & 07777; }

class CopyTest : public Sandbox {};

TEST_F(CopyTest, ContentOfEveryLength) {
    const size_t sizes[] = {0, 1, 9999, 10000, 10001, 99999, 100000, 200000, 200001, (1u << 20) + 3};
    for (const CopyForm& form : kForms) {
        for (size_t size : sizes) {
            const std::string data = Pattern(size);
            Write("src.bin", data);
            Write("dst.bin", std::string(size + 5000, 'o'));  // longer than the copy
            EXPECT_EQ(COPY_DONE, form.copy(At("src.bin").c_str(), At("dst.bin").c_str())) << form.name << size;
            EXPECT_TRUE(ReadAll(At("dst.bin")) == data) << form.name << " " << size;
        }
    }
    // Nothing of the copies' own is left behind.
    EXPECT_EQ((std::vector<std::string>{"dst.bin", "src.bin"}), NamesIn(Work()));
}

TEST_F(CopyTest, TimesAndAttributes) {
    struct Case {
        const char* what;
        std::function<int(const char*, const char*)> copy;
        bool timesKept, readOnlyKept;
    } cases[] = {
        {"with times", [](const char* s, const char* d) { return CopyFileWithTimes(s, d); }, true, true},
        {"checked, both kept", [](const char* s, const char* d) { return CopyFileChecked(s, d, true, true); }, true, true},
        {"checked, times kept", [](const char* s, const char* d) { return CopyFileChecked(s, d, true); }, true, false},
        {"checked, attributes kept",
         [](const char* s, const char* d) { return CopyFileChecked(s, d, false, true); }, false, true},
        {"checked, nothing kept", [](const char* s, const char* d) { return CopyFileChecked(s, d); }, false, false},
    };
    const int64_t past = 1262347200;  // 1 January 2010, 12:00 UTC
    int n = 0;
    for (const Case& c : cases) {
        const std::string src = At("src" + std::to_string(n) + ".txt");
        const std::string dst = At("dst" + std::to_string(n++) + ".txt");
        Write(fs::path(src).filename().string(), "content");
        SetWriteTime(src, past);
        ASSERT_TRUE(SetAttributes(src.c_str(), FILE_ATTRIBUTE_READONLY));
        EXPECT_EQ(COPY_DONE, c.copy(src.c_str(), dst.c_str())) << c.what;
        EXPECT_EQ("content", ReadAll(dst)) << c.what;
        EXPECT_EQ(c.timesKept, WriteTimeOf(dst) == past) << c.what;
        EXPECT_EQ(c.readOnlyKept, IsReadOnly(dst)) << c.what;
        EXPECT_TRUE(IsReadOnly(src)) << c.what;
    }
}

TEST_F(CopyTest, HiddenAndArchiveCarriedOnWindows) {
    if (testsupport::IsPosix()) GTEST_SKIP() << "POSIX keeps hidden in the name and has no archive bit";
    Write("src.txt", "x");
    const DWORD attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
    ASSERT_TRUE(SetAttributes(At("src.txt").c_str(), attributes));
    EXPECT_EQ(COPY_DONE, CopyFileWithTimes(At("src.txt").c_str(), At("dst.txt").c_str()));
    EXPECT_EQ(attributes, GetAttributes(At("dst.txt").c_str()) & attributes);
    // Replaced again, the destination takes the source's attributes, not its own.
    ASSERT_TRUE(SetAttributes(At("src.txt").c_str(), FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(COPY_DONE, CopyFileWithTimes(At("src.txt").c_str(), At("dst.txt").c_str()));
    EXPECT_FALSE(GetAttributes(At("dst.txt").c_str()) & FILE_ATTRIBUTE_HIDDEN);
}

TEST_F(CopyTest, ReadOnlyDestination) {
    struct Case {
        const char* what;
        std::function<int(const char*, const char*)> copy;
        int result;
    } cases[] = {
        {"with times replaces it", [](const char* s, const char* d) { return CopyFileWithTimes(s, d); }, COPY_DONE},
        {"checked with attributes replaces it",
         [](const char* s, const char* d) { return CopyFileChecked(s, d, false, true); }, COPY_DONE},
        {"checked without attributes refuses",
         [](const char* s, const char* d) { return CopyFileChecked(s, d, true, false); }, COPY_FAILED},
    };
    Write("src.txt", "new");
    for (const Case& c : cases) {
        Write("dst.txt", "old");
        ASSERT_TRUE(SetAttributes(At("dst.txt").c_str(), FILE_ATTRIBUTE_READONLY));
        EXPECT_EQ(c.result, c.copy(At("src.txt").c_str(), At("dst.txt").c_str())) << c.what;
        EXPECT_EQ(c.result == COPY_DONE ? "new" : "old", ReadAll(At("dst.txt"))) << c.what;
        if (c.result != COPY_DONE) {
            EXPECT_TRUE(IsReadOnly(At("dst.txt"))) << c.what;
        }
        SetAttributes(At("dst.txt").c_str(), 0);
    }
}

TEST_F(CopyTest, MissingSourceAndExpectedSize) {
    Write("src.txt", "12345");
    Write("dst.txt", "existing");
    struct Case {
        const char* what;
        std::function<int()> copy;
        int result;
        const char* dstAfter;
    } cases[] = {
        {"with times, no source", [&] { return CopyFileWithTimes(At("none").c_str(), At("dst.txt").c_str()); },
         COPY_NOT_FOUND, "existing"},
        {"checked, no source", [&] { return CopyFileChecked(At("none").c_str(), At("dst.txt").c_str()); },
         COPY_NOT_FOUND, "existing"},
        {"size differs", [&] { return CopyFileChecked(At("src.txt").c_str(), At("dst.txt").c_str(), true, true, 4); },
         COPY_NOT_FOUND, "existing"},
        {"size matches", [&] { return CopyFileChecked(At("src.txt").c_str(), At("dst.txt").c_str(), true, true, 5); },
         COPY_DONE, "12345"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.result, c.copy()) << c.what;
        EXPECT_EQ(c.dstAfter, ReadAll(At("dst.txt"))) << c.what;
    }
}

TEST_F(CopyTest, FoldersAreNeitherSourceNorDestination) {
    Write("src.txt", "x");
    MakeDir("folder");
    Write("folder/inside.txt", "y");
    for (const CopyForm& form : kForms) {
        EXPECT_EQ(COPY_FAILED, form.copy(At("src.txt").c_str(), At("folder").c_str())) << form.name;
        EXPECT_EQ(COPY_FAILED, form.copy(At("folder").c_str(), At("out.txt").c_str())) << form.name;
        EXPECT_EQ(COPY_FAILED, form.copy(At("src.txt").c_str(), "")) << form.name;
    }
    EXPECT_EQ("y", ReadAll(At("folder/inside.txt")));
    EXPECT_FALSE(Exists(At("out.txt")));
}

TEST_F(CopyTest, OntoItselfChangesNothing) {
    Write("self.txt", "precious");
    std::vector<std::pair<const char*, std::string>> spellings = {
        {"same path", At("self.txt")},
        {"another spelling", Work() + Sep() + "." + Sep() + "self.txt"},
    };
    fs::create_hard_link(At("self.txt"), At("hard.txt"));
    spellings.push_back({"hard link", At("hard.txt")});
    if (testsupport::IsPosix()) {
        fs::create_symlink(At("self.txt"), At("soft.txt"));
        spellings.push_back({"link to it", At("soft.txt")});
    }
    for (const CopyForm& form : kForms) {
        for (const auto& spelling : spellings) {
            EXPECT_EQ(COPY_FAILED, form.copy(At("self.txt").c_str(), spelling.second.c_str()))
                << form.name << ": " << spelling.first;
            EXPECT_EQ("precious", ReadAll(At("self.txt"))) << form.name << ": " << spelling.first;
        }
    }
}

// A full disk part way through: an existing destination stays as it was,
// with its attributes, and no partial file is left.
TEST_F(CopyTest, FullDiskKeepsTheDestination) {
    MakeDir("small");
    testsupport::SmallFileSystem small(At("small"), 256 * 1024);
    if (!small.Mounted()) GTEST_SKIP() << small.Reason();
    Write("big.bin", Pattern(1 << 20));
    Write("small/dst.bin", "old content");
    for (const CopyForm& form : kForms) {
        ASSERT_TRUE(SetAttributes(At("small/dst.bin").c_str(), FILE_ATTRIBUTE_READONLY));
        EXPECT_EQ(COPY_FAILED, form.copy(At("big.bin").c_str(), At("small/dst.bin").c_str())) << form.name;
        EXPECT_EQ("old content", ReadAll(At("small/dst.bin"))) << form.name;
        EXPECT_TRUE(IsReadOnly(At("small/dst.bin"))) << form.name;
        EXPECT_EQ(std::vector<std::string>{"dst.bin"}, NamesIn(At("small"))) << form.name;
        // A new destination that does not fit is not left half written.
        EXPECT_EQ(COPY_FAILED, form.copy(At("big.bin").c_str(), At("small/new.bin").c_str())) << form.name;
        EXPECT_FALSE(Exists(At("small/new.bin"))) << form.name;
    }
    SetAttributes(At("small/dst.bin").c_str(), 0);
}

// Where no file can be made beside the destination, it is written in place.
TEST_F(CopyTest, InPlaceWhereTheFolderTakesNoNewFile) {
    Write("src.txt", "fresh");
    Write("locked/dst.txt", "stale");
    fs::permissions(At("src.txt"), fs::perms(0640));
    fs::permissions(At("locked/dst.txt"), fs::perms(0666));
    {
        testsupport::UndeletableFile lock(At("locked/dst.txt"));
        if (!lock.Active() || !testsupport::IsPosix())
            GTEST_SKIP() << (lock.Active() ? "only POSIX can refuse new files in a folder here" : lock.Reason());
        EXPECT_EQ(COPY_DONE, CopyFileWithTimes(At("src.txt").c_str(), At("locked/dst.txt").c_str()));
        EXPECT_EQ(COPY_DONE, CopyFileChecked(At("src.txt").c_str(), At("locked/dst.txt").c_str()));
        EXPECT_EQ(COPY_FAILED, CopyFileChecked(At("src.txt").c_str(), At("locked/new.txt").c_str()));
    }
    EXPECT_EQ("fresh", ReadAll(At("locked/dst.txt")));
    EXPECT_EQ(0640u, ModeOf(At("locked/dst.txt"))) << "written in place, it takes the source's mode too";
    EXPECT_FALSE(Exists(At("locked/new.txt")));
}

// 4 GiB + 1 byte, sparse: copied whole, holes kept where the system has them.
TEST_F(CopyTest, SparseFileBeyondFourGiB) {
    if (testsupport::RunningUnderWine())
        GTEST_SKIP() << "the Windows copy writes every byte of a sparse file: 4 GiB take minutes under Wine";
    const uint64_t length = (uint64_t(4) << 30) + 1;
    const std::string src = At("sparse.img");
    Temp().WriteFile("work/sparse.img", length);
    const uint64_t offsets[] = {0, 123456789, (uint64_t(1) << 32) - 1, uint64_t(1) << 32};
    {
        std::fstream out(src, std::ios::in | std::ios::out | std::ios::binary);
        for (uint64_t offset : offsets) {
            out.seekp(std::streamoff(offset));
            out.put(char(0x5A ^ (offset & 0xFF)));
        }
    }
    const uint64_t srcAllocated = testsupport::AllocatedBytes(src);
    if (testsupport::IsPosix() && srcAllocated > (uint64_t(64) << 20)) GTEST_SKIP() << "this file system keeps no holes";
    struct Case {
        const char* what;
        std::function<int(const char*, const char*)> copy;
    } cases[] = {
        {"with times", [](const char* s, const char* d) { return CopyFileWithTimes(s, d); }},
        {"checked, low 32 bits expected",
         [&](const char* s, const char* d) { return CopyFileChecked(s, d, true, true, uint32_t(length)); }},
    };
    for (const Case& c : cases) {
        const std::string dst = At("copy.img");
        EXPECT_EQ(COPY_DONE, c.copy(src.c_str(), dst.c_str())) << c.what;
        EXPECT_EQ(length, fs::file_size(dst)) << c.what;
        std::ifstream in(dst, std::ios::binary);
        for (uint64_t offset : offsets) {
            in.seekg(std::streamoff(offset));
            EXPECT_EQ(char(0x5A ^ (offset & 0xFF)), char(in.get())) << c.what << " at " << offset;
        }
        in.seekg(std::streamoff(uint64_t(3) << 30));  // inside a hole
        EXPECT_EQ(0, in.get()) << c.what;
        in.close();
        if (testsupport::IsPosix()) {
            EXPECT_LE(testsupport::AllocatedBytes(dst), srcAllocated + (1 << 20)) << c.what;
        }
        fs::remove(dst);
    }
    EXPECT_EQ(COPY_NOT_FOUND, CopyFileChecked(src.c_str(), At("copy.img").c_str(), false, false, 2));
    EXPECT_FALSE(Exists(At("copy.img")));
}

// Names of 256 to 599 characters: a long destination's missing folder is
// made, both long names copy in one pass, the current folder stays.
TEST_F(CopyTest, LongNames) {
    const std::string deepSource = Work() + Sep() + std::string(200, 's');
    PathText folder(deepSource);
    ASSERT_TRUE(CreateFolderPath(folder.text));
    const std::string longSource = deepSource + Sep() + std::string(80, 'f') + ".bin";
    const std::string data = Pattern(250000);
    {
        const fs::path saved = fs::current_path();
        fs::current_path(deepSource);
        std::ofstream(std::string(80, 'f') + ".bin", std::ios::binary) << data;
        fs::current_path(saved);
    }
    Write("short.bin", data);
    const std::string missingFolder = Work() + Sep() + std::string(180, 'd') + Sep() + std::string(20, 'e');
    struct Case {
        const char* what;
        std::string from, to;
    } cases[] = {
        {"long source", longSource, At("out1.bin")},
        {"long destination in a missing folder", At("short.bin"), missingFolder + Sep() + std::string(90, 'o')},
        {"both long", longSource, missingFolder + Sep() + std::string(91, 'p')},
        {"both long over the last copy", longSource, missingFolder + Sep() + std::string(91, 'p')},
    };
    const fs::path before = fs::current_path();
    for (const Case& c : cases) {
        ASSERT_GT(std::max(c.from.size(), c.to.size()), 255u);
        ASSERT_LT(std::max(c.from.size(), c.to.size()), 600u);
        EXPECT_EQ(COPY_DONE, CopyFileWithTimes(c.from.c_str(), c.to.c_str())) << c.what;
        EXPECT_EQ(before, fs::current_path()) << c.what;
        const fs::path saved = fs::current_path();
        const size_t cut = c.to.rfind(Sep());
        fs::current_path(c.to.substr(0, cut));
        EXPECT_TRUE(ReadAll(c.to.substr(cut + 1)) == data) << c.what;
        fs::current_path(saved);
    }
    const std::string tooLong(600, 'x');
    EXPECT_EQ(COPY_FAILED, CopyFileWithTimes(At("short.bin").c_str(), tooLong.c_str()));
    EXPECT_EQ(COPY_FAILED, CopyFileWithTimes(tooLong.c_str(), At("x.bin").c_str()));
}

// A relative destination means the folder that was current at the call,
// also when the source is long and worked on from inside its folder.
TEST_F(CopyTest, RelativeDestinationBesideALongSource) {
    const std::string deep = Work() + Sep() + std::string(190, 'r');
    PathText folder(deep);
    ASSERT_TRUE(CreateFolderPath(folder.text));
    const std::string name = std::string(90, 'q') + ".txt";
    {
        const fs::path saved = fs::current_path();
        fs::current_path(deep);
        std::ofstream(name, std::ios::binary) << "from afar";
        fs::current_path(saved);
    }
    const fs::path saved = fs::current_path();
    fs::current_path(Work());
    const int result = CopyFileWithTimes((deep + Sep() + name).c_str(), "near.txt");
    fs::current_path(saved);
    EXPECT_EQ(COPY_DONE, result);
    EXPECT_EQ("from afar", ReadAll(At("near.txt")));
}

// The write time is carried as the system keeps it: a July time copied in
// another season stays the same instant.
class CopyTimeZoneTest : public Sandbox {};

TEST_F(CopyTimeZoneTest, SummerTimeCopiedInAnyOtherSeason) {
    Write("july.txt", "x");
    const int64_t july = 1594807200;     // 15 July 2020, 10:00 UTC
    const int64_t january = 1579082400;  // 15 January 2020, 10:00 UTC
    for (int64_t when : {july, january}) {
        SetWriteTime(At("july.txt"), when);
        EXPECT_EQ(COPY_DONE, CopyFileWithTimes(At("july.txt").c_str(), At("a.txt").c_str()));
        EXPECT_EQ(COPY_DONE, CopyFileChecked(At("july.txt").c_str(), At("b.txt").c_str(), true));
        EXPECT_EQ(when, WriteTimeOf(At("a.txt")));
        EXPECT_EQ(when, WriteTimeOf(At("b.txt")));
    }
}

// ---------------------------------------------- who may use a copy, and flushing

// The copies and the tree copies built on them, each copying work/in/f.bin
// to work/out/f.bin; `keep` says whether the form carries the attributes.
struct AccessForm {
    const char* name;
    bool keep;
    std::function<bool(const std::string& in, const std::string& out)> copy;  // true when done
};

const AccessForm kAccessForms[] = {
    {"CopyFileWithTimes", true,
     [](const std::string& in, const std::string& out) {
         return CopyFileWithTimes((in + Sep() + "f.bin").c_str(), (out + Sep() + "f.bin").c_str()) == COPY_DONE;
     }},
    {"CopyFileChecked, attributes kept", true,
     [](const std::string& in, const std::string& out) {
         return CopyFileChecked((in + Sep() + "f.bin").c_str(), (out + Sep() + "f.bin").c_str(), false, true) ==
                COPY_DONE;
     }},
    {"CopyFileChecked, nothing kept", false,
     [](const std::string& in, const std::string& out) {
         return CopyFileChecked((in + Sep() + "f.bin").c_str(), (out + Sep() + "f.bin").c_str()) == COPY_DONE;
     }},
    {"CopyFileChecked, times kept", false,
     [](const std::string& in, const std::string& out) {
         return CopyFileChecked((in + Sep() + "f.bin").c_str(), (out + Sep() + "f.bin").c_str(), true) == COPY_DONE;
     }},
    {"CFileFinder::CopyTree", true,
     [](const std::string& in, const std::string& out) {
         testsupport::DirText from(in), to(out);
         CFileFinder finder;
         return finder.CopyTree(from.text, to.text) == 0;
     }},
    {"CopyTreeByPattern", true,
     [](const std::string& in, const std::string& out) {
         return CopyTreeByPattern((in + Sep() + "*.*").c_str(), out.c_str()) == 0;
     }},
};

// What the copy-step watcher saw: the entries of the destination's folder
// when the data was written, and the flushes.
struct SeenSteps {
    std::string folder;       // watched for entries at DataWritten
    std::string destination;  // its content at DataWritten
    std::vector<std::string> entries;  // "name mode owner" of the copy's own files
    std::string destinationThen;
    int fileFlushes = 0;
    int folderFlushes = 0;
};
SeenSteps g_seen;

std::string Octal(unsigned mode) {
    char text[16];
    std::snprintf(text, sizeof text, "%04o", mode);
    return text;
}

void WatchStep(CopyStep step) {
    if (step == CopyStep::FileFlushed) ++g_seen.fileFlushes;
    if (step == CopyStep::FolderFlushed) ++g_seen.folderFlushes;
    if (step != CopyStep::DataWritten) return;
    g_seen.destinationThen = Exists(g_seen.destination) ? ReadAll(g_seen.destination) : "(none)";
    std::error_code error;  // a folder that is not there holds nothing
    for (const auto& entry : fs::directory_iterator(g_seen.folder, error)) {
        const std::string path = entry.path().string();
        if (path == g_seen.destination) continue;
        g_seen.entries.push_back(entry.path().filename().string() + " " + Octal(ModeOf(path)) + " " +
                                 std::to_string(testsupport::OwnerOf(path).user));
    }
}

class CopyAccessTest : public Sandbox {
protected:
    void SetUp() override {
        Sandbox::SetUp();
        g_seen = SeenSteps{};
        g_seen.folder = At("out");
        g_seen.destination = At("out/f.bin");
        WatchCopySteps(WatchStep);
    }
    void TearDown() override {
        WatchCopySteps(nullptr);
        Sandbox::TearDown();
    }

    // work/in/f.bin ("new", `mode`) and a fresh work/out, holding f.bin
    // ("old", mode 0666, owned by `oldOwner` where given) when `replaced`.
    void Prepare(unsigned mode, bool replaced, testsupport::FileOwner oldOwner = {}) {
        fs::remove_all(At("out"));
        MakeDir("out");
        Write("in/f.bin", "new");
        fs::permissions(At("in/f.bin"), fs::perms(mode));
        if (!replaced) return;
        Write("out/f.bin", "old");
        fs::permissions(At("out/f.bin"), fs::perms(0666));
        if (oldOwner.user >= 0) {
            ASSERT_TRUE(testsupport::SetOwner(At("out/f.bin"), oldOwner));
        }
    }
    bool Copy(const AccessForm& form) { return form.copy(At("in"), At("out")); }
    std::string Out() const { return At("out/f.bin"); }
};

// With the attributes kept a copy has the source's mode; without, the
// source's less the umask (set-id bits dropped, the owner may write), as
// cp does. A replaced destination takes the same, however wide it was.
TEST_F(CopyAccessTest, ModeOfNewAndReplacedCopies) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "Windows carries attributes, not modes";
    for (const AccessForm& form : kAccessForms) {
        for (unsigned mode : {0600u, 0755u, 0640u, 04755u}) {
            for (unsigned umask : {022u, 077u}) {
                for (bool replaced : {false, true}) {
                    testsupport::ScopedUmask scoped(umask);
                    Prepare(mode, replaced);
                    const std::string what = std::string(form.name) + " mode " + Octal(mode) + " umask " +
                                             Octal(umask) + (replaced ? " replaced" : " new");
                    ASSERT_TRUE(Copy(form)) << what;
                    const unsigned expected = form.keep ? mode : ((mode & 0777 & ~umask) | 0200);
                    EXPECT_EQ(Octal(expected), Octal(ModeOf(Out()))) << what;
                    EXPECT_EQ("new", ReadAll(Out())) << what;
                    EXPECT_EQ(std::vector<std::string>{"f.bin"}, NamesIn(At("out"))) << what;
                }
            }
        }
    }
}

// The file beside the destination is its owner's alone while the data goes
// in; an old destination is untouched until the copy is complete.
TEST_F(CopyAccessTest, TemporaryFileIsPrivateUntilComplete) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "Windows carries attributes, not modes";
    const std::string self = std::to_string(testsupport::OwnerOf(Work()).user);
    for (const AccessForm& form : kAccessForms) {
        for (unsigned mode : {0644u, 0755u, 04755u}) {
            for (bool replaced : {false, true}) {
                Prepare(mode, replaced);
                g_seen.entries.clear();
                const std::string what = std::string(form.name) + " " + Octal(mode) + (replaced ? " replaced" : " new");
                ASSERT_TRUE(Copy(form)) << what;
                ASSERT_EQ(1u, g_seen.entries.size()) << what;
                const std::string& seen = g_seen.entries[0];
                EXPECT_EQ(".~vks", seen.substr(0, 5)) << what << ": " << seen;
                EXPECT_EQ(" 0600 " + self, seen.substr(seen.find(' '))) << what;
                EXPECT_EQ(replaced ? "old" : "(none)", g_seen.destinationThen) << what;
            }
        }
    }
}

// As root, the owner and group are kept with the attributes (set-id bits
// and all); without them a new copy is the process's and a replaced file
// keeps its owner, and neither keeps set-id bits.
TEST_F(CopyAccessTest, OwnerAndGroupAsRoot) {
    if (!testsupport::IsPosix() || !testsupport::IsRoot()) GTEST_SKIP() << "needs root on POSIX to give files away";
    testsupport::ScopedUmask scoped(022);
    const testsupport::FileOwner source = {4242, 4343}, old = {5151, 5252};
    const testsupport::FileOwner self = testsupport::OwnerOf(Work());
    for (const AccessForm& form : kAccessForms) {
        for (bool replaced : {false, true}) {
            Prepare(06755, replaced, old);
            ASSERT_TRUE(testsupport::SetOwner(At("in/f.bin"), source));
            fs::permissions(At("in/f.bin"), fs::perms(06755));  // the change of owner cleared the set-id bits
            const std::string what = std::string(form.name) + (replaced ? " replaced" : " new");
            ASSERT_TRUE(Copy(form)) << what;
            const testsupport::FileOwner expected = form.keep ? source : replaced ? old : self;
            const testsupport::FileOwner got = testsupport::OwnerOf(Out());
            EXPECT_EQ(expected.user, got.user) << what;
            EXPECT_EQ(expected.group, got.group) << what;
            EXPECT_EQ(Octal(form.keep ? 06755 : 0755), Octal(ModeOf(Out()))) << what;
        }
    }
}

// A process that may not give a copy away keeps it, and then keeps no
// set-id bits of someone else's file; its own file keeps them.
TEST_F(CopyAccessTest, SetIdBitsOnlyWithTheOwner) {
    if (!testsupport::IsPosix() || !testsupport::IsRoot()) GTEST_SKIP() << "needs root on POSIX to become another user";
    const testsupport::FileOwner nobody = {65534, 65534};
    struct Row {
        const char* source;
        testsupport::FileOwner owner;
        unsigned mode;  // of the copy
    } rows[] = {
        {"roots.bin", {0, 0}, 0755},
        {"nobodys.bin", nobody, 06755},
    };
    MakeDir("drop");
    ASSERT_TRUE(testsupport::SetOwner(At("drop"), nobody));
    for (const Row& row : rows) {
        Write(row.source, "x");
        ASSERT_TRUE(testsupport::SetOwner(At(row.source), row.owner));
        fs::permissions(At(row.source), fs::perms(06755));
    }
    WatchCopySteps(nullptr);  // the child watches nothing
    const int failed = testsupport::RunAsUser(
        nobody.user, nobody.group, Work(),
        [](void* context) {
            const Row* given = static_cast<const Row*>(context);
            int bits = 0;
            for (int i = 0; i < 2; ++i)
                if (CopyFileWithTimes(given[i].source, (std::string("drop/") + given[i].source).c_str()) != COPY_DONE)
                    bits |= 1 << i;
            return bits;
        },
        rows);
    ASSERT_EQ(0, failed) << "-1: the child could not start; else the copies that failed";
    for (const Row& row : rows) {
        const std::string copy = At(std::string("drop/") + row.source);
        EXPECT_EQ(Octal(row.mode), Octal(ModeOf(copy))) << row.source;
        EXPECT_EQ(nobody.user, testsupport::OwnerOf(copy).user) << row.source;
    }
}

// Only a copy that replaces a file is flushed, once, and its folder after
// the move; new files are not, so many small copies stay fast.
TEST_F(CopyAccessTest, OnlyReplacingCopiesAreFlushed) {
    for (const AccessForm& form : kAccessForms) {
        for (bool replaced : {false, true}) {
            Prepare(0644, replaced);
            g_seen.fileFlushes = g_seen.folderFlushes = 0;
            const std::string what = std::string(form.name) + (replaced ? " replaced" : " new");
            ASSERT_TRUE(Copy(form)) << what;
            EXPECT_EQ(replaced ? 1 : 0, g_seen.fileFlushes) << what;
            EXPECT_EQ(replaced ? 1 : 0, g_seen.folderFlushes) << what;
        }
    }
    // A tree of new files: none.
    for (int i = 0; i < 20; ++i) Write("many/f" + std::to_string(i) + ".bin", "x");
    g_seen.fileFlushes = g_seen.folderFlushes = 0;
    testsupport::DirText from(At("many")), to(At("copies"));
    CFileFinder finder;
    EXPECT_EQ(0, finder.CopyTree(from.text, to.text));
    EXPECT_EQ(0, g_seen.fileFlushes + g_seen.folderFlushes);
}

}  // namespace
