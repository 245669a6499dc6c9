// The size walk on many threads: the same totals as one thread, whatever
// the shape of the tree, the number of workers or the folders it may hold
// open, and no crash or hang while the tree changes under it.

#include "tool/folder_walk.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "filelib/paths/net_drive.h"
#include "support/process.h"
#include "support/recording_net.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

struct Written {
    uint64_t files = 0;
    uint64_t bytes = 0;
};

// A tree of random shape below `top`, made level by level so that every
// level branches: wide (many subfolders, few levels) or deep (one or two
// subfolders, many levels), `folders` folders in all.
Written WriteRandomTree(const TempDir& dir, std::mt19937& random, const std::string& top, int mostSubfolders,
                        int folders) {
    Written written;
    std::deque<std::string> queue{top};
    dir.MakeDir(top);
    for (--folders; !queue.empty(); queue.pop_front()) {
        const std::string folder = queue.front();
        const int files = int(random() % 5);
        for (int i = 0; i < files; ++i) {
            const uint64_t size = random() % 3 == 0 ? 0 : random() % 5000;
            dir.WriteFile(folder + "/f" + std::to_string(i), size);
            ++written.files;
            written.bytes += size;
        }
        const int subfolders = 1 + int(random() % mostSubfolders);
        for (int i = 0; i < subfolders && folders > 0; ++i, --folders) {
            queue.push_back(folder + "/d" + std::to_string(i));
            dir.MakeDir(queue.back());
        }
    }
    return written;
}

WalkOutcome Walk(const std::string& path, const WalkSettings& settings, WalkProgress* progress = nullptr) {
    std::vector<char> text(path.begin(), path.end());
    text.resize(path.size() + 2, 0);
    return WalkFolders(text.data(), progress, settings);
}

const struct {
    const char* label;
    WalkSettings settings;
} kSettings[] = {
    {"one worker", {1, 0}},
    {"two workers", {2, 0}},
    {"eight workers", {8, 0}},
    {"chosen by the walk", {0, 0}},
    // Too few open folders for the tree: folders are closed and opened
    // again through their chains.
    {"one worker, four folders open", {1, 4}},
    {"two workers, eight folders open", {2, 8}},
};

TEST(FolderWalk, RandomTreesGiveTheSameTotalWithAnyNumberOfWorkers) {
    const int seeds = testsupport::IsPosix() ? 12 : 2;  // each start of a file costs more under Wine
    for (int seed = 1; seed <= seeds; ++seed) {
        std::mt19937 random(seed);
        const bool wide = seed % 2 == 0;
        TempDir dir;
        const Written written = WriteRandomTree(dir, random, "top", wide ? 12 : 2, 120);
        dir.WriteFile("beside", 777);  // outside the tree
        for (const auto& c : kSettings) {
            WalkProgress progress;
            const WalkOutcome outcome = Walk(dir / "top", c.settings, &progress);
            EXPECT_EQ(written.bytes, outcome.bytes) << "seed " << seed << ", " << c.label;
            EXPECT_EQ(written.files, progress.files.load()) << "seed " << seed << ", " << c.label;
            EXPECT_EQ(written.bytes, progress.bytes.load()) << "seed " << seed << ", " << c.label;
            EXPECT_EQ(0u, outcome.foldersLeftOut) << "seed " << seed << ", " << c.label;
            EXPECT_EQ(plat::Error::None, outcome.topError) << "seed " << seed << ", " << c.label;
        }
    }
}

TEST(FolderWalk, TopThatCannotBeWalkedSaysWhy) {
    TempDir dir;
    dir.WriteFile("file", 10);
    const struct {
        const char* name;
        plat::Error error;
    } cases[] = {{"missing", plat::Error::NotFound}, {"file", plat::Error::NotFolder}};
    for (const auto& c : cases) {
        const WalkOutcome outcome = Walk(dir / c.name, {2, 0});
        EXPECT_EQ(c.error, outcome.topError) << c.name;
        EXPECT_EQ(0u, outcome.bytes) << c.name;
    }
}

// Folders renamed, deleted and made again while the walk runs: it ends,
// and counts at least what was never touched and at most everything that
// was ever there twice over (a folder moved from a part not yet read into
// one already read is missed, one moved the other way is met twice).
TEST(FolderWalk, FoldersRenamedAndDeletedMeanwhile) {
    TempDir dir;
    uint64_t steady = 0;
    for (int i = 0; i < 40; ++i) {
        dir.WriteFile("top/steady" + std::to_string(i) + "/sub/f", 1000);
        steady += 1000;
    }
    const int churned = 20;
    for (int i = 0; i < churned; ++i) dir.WriteFile("top/churn/c" + std::to_string(i) + "/deeper/g", 10);
    std::atomic<bool> walking{true};
    std::thread changer([&] {
        std::error_code ignored;
        const fs::path churn = dir / "top/churn";
        for (int round = 0; walking; ++round) {
            const int i = round % churned;
            const fs::path name = churn / ("c" + std::to_string(i));
            const fs::path moved = churn / ("m" + std::to_string(i));
            if (round % 3 == 0) {
                // Nothing here may throw: a folder being read cannot be
                // removed or made again on Windows.
                fs::remove_all(name, ignored);
                fs::create_directories(name / "deeper", ignored);
                std::ofstream(name / "deeper" / "g") << "0123456789";
            } else {
                fs::rename(name, moved, ignored);
                fs::rename(moved, name, ignored);
            }
        }
    });
    for (int run = 0; run < 20; ++run) {
        const WalkOutcome outcome = Walk(dir / "top", {4, run % 2 == 0 ? 0 : 10});
        EXPECT_LE(steady, outcome.bytes) << "run " << run;
        EXPECT_GE(steady + 2 * 10 * churned, outcome.bytes) << "run " << run;
    }
    walking = false;
    changer.join();
}

// Notes the thread that each reconnection runs on.
class ThreadNotingNet : public testsupport::RecordingNet {
public:
    long GetConnection(const char* localName, char* out, DWORD* length) override {
        {
            std::lock_guard<std::mutex> lock(mutex);
            threads.push_back(std::this_thread::get_id());
        }
        return RecordingNet::GetConnection(localName, out, length);
    }
    std::mutex mutex;
    std::vector<std::thread::id> threads;
};

// Folders that cannot be opened (here for want of descriptors) on a path
// with a drive letter: the drive is reconnected for them, always by the
// thread that called the walk, never by a worker, and what still fails is
// left out and named.
TEST(FolderWalk, FailedOpensOnADriveLetterAreReconnectedByTheCallingThread) {
    if (!testsupport::IsPosix()) GTEST_SKIP() << "\"Q:\" is a folder name only on POSIX";
    TempDir dir;
    // Each level holds two folders: it stays open while the first is walked.
    for (const char* b : {"b1", "b2"}) {
        for (const char* c : {"c1", "c2"}) dir.WriteFile(std::string("Q:/top/a/") + b + "/" + c + "/f", 1);
    }
    testsupport::ScopedCurrentDir inside(dir.path());
    ThreadNotingNet net;
    plat::SetNetProvider(&net);
    // Once before descriptors run short: a sanitizer's first check of a
    // call through the provider may want a descriptor of its own.
    ReconnectNetDrive('Q');
    net.threads.clear();
    WalkOutcome outcome;
    {
        // Room for the top and two more: the walk, told it may hold 64
        // folders open, runs out at the third level.
        testsupport::ScopedDescriptorLimit limit(3);
        if (limit.active()) outcome = Walk("Q:/top", {2, 64});
    }
    plat::SetNetProvider(nullptr);
    if (net.threads.empty() && outcome.bytes == 0) GTEST_SKIP() << "the descriptor limit cannot be lowered here";
    EXPECT_LT(0u, outcome.foldersLeftOut);
    EXPECT_EQ(0u, outcome.firstLeftOut.find("Q:/top/a/b")) << outcome.firstLeftOut;
    EXPECT_GT(4u, outcome.bytes);
    ASSERT_FALSE(net.threads.empty());
    for (const std::thread::id& id : net.threads) EXPECT_EQ(std::this_thread::get_id(), id);
}

TEST(FolderWalk, CrewIsChosenFromWhatTheWalkKnows) {
    const struct {
        const char* label;
        int workers;  // as set
        WalkCrewFacts facts;
        WalkCrew crew;
    } cases[] = {
        {"set by the caller", 3, {2, true, true}, {3, 3, WalkGrowth::Never}},
        {"one processor", 0, {1, false, true}, {1, 1, WalkGrowth::Never}},
        {"processors unknown", 0, {0, false, true}, {1, 1, WalkGrowth::Never}},
        {"rotating disk", 0, {2, true, true}, {1, 2, WalkGrowth::WhileBusy}},
        {"data in memory", 0, {2, false, false}, {2, 64, WalkGrowth::WhileWaitingForData}},
        {"top read waited", 0, {2, false, true}, {32, 64, WalkGrowth::WhileWaitingForData}},
        {"top read waited, many processors", 0, {8, false, true}, {64, 64, WalkGrowth::WhileWaitingForData}},
    };
    for (const auto& c : cases) {
        WalkSettings settings;
        settings.workers = c.workers;
        const WalkCrew crew = ChooseWalkCrew(settings, c.facts);
        EXPECT_EQ(c.crew.first, crew.first) << c.label;
        EXPECT_EQ(c.crew.most, crew.most) << c.label;
        EXPECT_EQ(c.crew.growth, crew.growth) << c.label;
    }
}

// Looks 40 ms apart on two processors: whether the crew grows, by how
// much, and when it gives up growing.
TEST(FolderWalk, CrewGrowsWhileItHelps) {
    constexpr WalkCrew kCold = {2, 64, WalkGrowth::WhileWaitingForData};
    constexpr WalkCrew kRotating = {1, 2, WalkGrowth::WhileBusy};
    const struct {
        const char* label;
        WalkCrew crew;
        double rateBefore;
        WalkCrewLook look;  // running, seconds, cpuSeconds, rate, waiting
        int more;
        int most;  // afterwards
    } cases[] = {
        {"processors mostly idle", kCold, -1, {2, 0.04, 0.02, 1000, 50}, 2, 64},
        {"processors busy", kCold, -1, {2, 0.04, 0.05, 1000, 50}, 0, 64},
        {"busy with more workers than processors", kCold, -1, {32, 0.04, 0.06, 9000, 500}, 0, 64},
        {"too few folders waiting", kCold, -1, {2, 0.04, 0.02, 1000, 2}, 0, 64},
        {"last ones read enough more", kCold, 1000, {4, 0.04, 0.02, 1300, 50}, 4, 64},
        {"last ones read too little more", kCold, 1000, {4, 0.04, 0.02, 1100, 50}, 0, 4},
        {"up to the most", kCold, 1000, {48, 0.04, 0.02, 2000, 500}, 16, 64},
        {"at the most", {2, 8, WalkGrowth::WhileWaitingForData}, -1, {8, 0.04, 0.02, 1000, 500}, 0, 8},
        {"rotating disk, busy", kRotating, -1, {1, 0.04, 0.035, 1000, 50}, 1, 2},
        {"rotating disk, waiting", kRotating, -1, {1, 0.04, 0.01, 1000, 50}, 0, 2},
        {"fixed", {4, 4, WalkGrowth::Never}, -1, {2, 0.04, 0.0, 1000, 50}, 0, 4},
    };
    for (const auto& c : cases) {
        WalkCrew crew = c.crew;
        double rateBefore = c.rateBefore;
        EXPECT_EQ(c.more, MoreWalkWorkers(&crew, 2, c.look, &rateBefore)) << c.label;
        EXPECT_EQ(c.most, crew.most) << c.label;
        // What the next look must beat: the rate before the workers added.
        EXPECT_EQ(c.more > 0 ? c.look.rate : c.rateBefore, rateBefore) << c.label;
    }
}

}  // namespace
