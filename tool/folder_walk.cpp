#include "tool/folder_walk.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "filelib/enum/file_finder.h"
#include "filelib/paths/drive_reconnect.h"
#include "filelib/platform/platform.h"

namespace {

using plat::Error;
using plat::ScanFolder;

// Most threads a walk starts: past this, a file system that answers slowly
// is served no faster, and each thread costs its stack.
constexpr int kMostWorkers = 64;
// Workers per processor from the start when the top folder's read had to
// wait for the data: the folders below it wait too, and the walk is fastest
// with many reads in flight from the start (the processors keep busy with
// the folders that have come in while the others wait; a network share
// answers many calls side by side).
constexpr int kDeepCrewPerProcessor = 16;
// How often the calling thread looks whether the workers mostly wait.
constexpr auto kLookInterval = std::chrono::milliseconds(40);
// Below this share of the processors' time, the walk waits for the data
// more than it works on it: more workers keep more reads in flight.
constexpr double kWaitingShare = 0.5;
// What more workers must add to the folders read a second to be worth it.
constexpr double kGainWanted = 1.2;

// A folder of the tree: waiting to be read, or waiting for its subfolders.
// Its name and identity stay while any folder below it waits, so that a
// folder closed for want of descriptors can be opened again through its
// chain. Fields below `open` are guarded by the walk's lock; the others are
// written before the node is handed to other threads and not changed after.
struct Node {
    Node* parent = nullptr;
    plat::ScanName name;
    plat::ScanIdentity identity;  // read once it has subfolders, or where a loop may start
    bool mayLeadBack = false;     // it or a folder above is a mount root or reparse point
    bool reconnected = false;     // its open has been tried again after reconnecting the drive

    ScanFolder* open = nullptr;  // held for the opens of its subfolders
    int users = 0;               // threads opening subfolders in `open` right now
    int unopened = 0;            // subfolders not opened yet: `open` is worth keeping
    int pending = 0;             // subfolders not finished yet: the node lives on
    bool lost = false;           // could not be opened again: what waits below is left out
    Node* older = nullptr;       // the open folders, oldest first
    Node* newer = nullptr;
};

class Walker;

// Makes a node for each subfolder that a read hands out.
class ChildCollector : public plat::SubfolderSink {
public:
    explicit ChildCollector(Node* parent) : m_parent(parent) {}
    void Subfolder(const plat::ScanChar* name, size_t length) override {
        Node* child = new Node;
        child->parent = m_parent;
        child->name.assign(name, length);
        children.push_back(child);
    }
    std::vector<Node*> children;

private:
    Node* m_parent;
};

class Walker {
public:
    Walker(char* dir, WalkProgress* progress) : m_dir(dir), m_progress(progress) {}
    ~Walker() { plat::CloseScanFolder(m_top.open); }

    WalkOutcome Run(const WalkSettings& settings);

private:
    WalkOutcome Outcome() const;
    void Work(bool onCallingThread);
    void Process(Node* node, bool onCallingThread);
    void ReadAndQueue(Node* node, ScanFolder* folder);
    bool MetAgainBelowItself(Node* node, ScanFolder* folder);
    WalkCrew ChooseCrew(const WalkSettings& settings, bool topReadWaited);
    void Coordinate(WalkCrew crew);
    bool StartWorker();

    ScanFolder* Acquire(Node* folder);
    void Release(Node* folder, bool held, bool childDone);
    bool Reopen(Node* folder);
    void Close(Node* folder);
    void KeepWithinLimit();
    void Link(Node* folder);
    void Unlink(Node* folder);
    void Finish(Node* node);
    void NoteLeftOut(Node* node);
    std::string PathOf(const Node* node) const;

    char* m_dir;
    WalkProgress* m_progress;
    bool m_hasDriveLetter = false;
    const int m_processors = std::max(1, int(std::thread::hardware_concurrency()));
    Node m_top;
    std::atomic<uint64_t> m_bytes{0};
    Error m_topError = Error::None;

    std::mutex m_mutex;
    std::condition_variable m_workReady;   // workers: folders wait, or the walk is done
    std::condition_variable m_callerWake;  // calling thread: done, or a drive to reconnect
    std::vector<Node*> m_waiting;          // read last in, first out: the walk stays deep and narrow
    std::vector<Node*> m_toReconnect;
    std::vector<std::thread> m_workers;
    bool m_done = false;
    int m_idle = 0;       // workers waiting for folders
    int m_openCount = 0;  // nodes holding a folder open, the top included
    int m_openLimit = 2;
    Node* m_oldest = nullptr;
    Node* m_newest = nullptr;
    uint64_t m_foldersRead = 0;  // or given up, for the rate the workers reach
    uint64_t m_leftOut = 0;
    std::string m_firstLeftOut;
};

// ------------------------------------------------------------ the run

WalkOutcome Walker::Run(const WalkSettings& settings) {
    AppendRootSlash(m_dir);
    m_hasDriveLetter = m_dir[0] != 0 && m_dir[1] == ':';
    const long waitsBefore = plat::ScanThreadWaits();
    Error error = plat::OpenScanTop(m_dir, &m_top.open);
    if (error != Error::None && ReconnectDriveOf(m_dir)) error = plat::OpenScanTop(m_dir, &m_top.open);
    if (error != Error::None) {
        // Said the way every search of the library says it (a wildcard in
        // the path is an invalid name on Windows, not a missing folder).
        const Error why = plat::FolderOpenError(m_dir);
        m_topError = why != Error::None ? why : error;
        return Outcome();
    }
    plat::ReadScanIdentity(m_top.open, &m_top.identity);
    m_openCount = 1;
    ReadAndQueue(&m_top, m_top.open);
    if (m_done) return Outcome();  // no subfolders: no thread is needed
    // Only the calling thread has run so far: a wait was one for the data.
    const bool topReadWaited = waitsBefore >= 0 && plat::ScanThreadWaits() > waitsBefore;

    WalkCrew crew = ChooseCrew(settings, topReadWaited);
    // Folders that may be open besides the top.
    const int folderLimit = settings.folderLimit > 0 ? settings.folderLimit : plat::ScanFolderLimit();
    // Each worker holds up to two folders besides those kept for their
    // subfolders (the top among them): the one it opens in and the one it
    // reads, or two on the way down to a folder it opens again.
    crew.most = std::max(1, std::min(crew.most, folderLimit / 4));
    crew.first = std::min(crew.first, crew.most);
    m_openLimit = 1 + std::max(1, folderLimit - 2 * crew.most);
    if (crew.most == 1) {
        Work(true);
    } else {
        Coordinate(crew);
    }
    return Outcome();
}

WalkCrew Walker::ChooseCrew(const WalkSettings& settings, bool topReadWaited) {
    WalkCrewFacts facts;
    facts.processors = m_processors;
    facts.rotatingDisk = settings.workers == 0 && m_processors > 1 && plat::ScanIsOnRotatingDisk(m_top.open);
    facts.topReadWaited = topReadWaited;
    return ChooseWalkCrew(settings, facts);
}

WalkOutcome Walker::Outcome() const {
    WalkOutcome outcome;
    outcome.bytes = m_bytes.load();
    outcome.topError = m_topError;
    outcome.foldersLeftOut = m_leftOut;
    outcome.firstLeftOut = m_firstLeftOut;
    return outcome;
}

bool Walker::StartWorker() {
    try {
        m_workers.emplace_back([this] { Work(false); });
        return true;
    } catch (const std::system_error&) {
        return false;  // the system gives no more threads: those running go on
    }
}

// The calling thread starts the workers, reconnects drives for them (the
// library's state is never touched from a worker), and adds workers as the
// crew's growth says (while they mostly wait for the data, as on a cold
// disk or a network share), for as long as more of them read more folders
// a second.
void Walker::Coordinate(WalkCrew crew) {
    int running = 0;
    while (running < crew.first && StartWorker()) ++running;
    if (running == 0) Work(true);
    auto lastTime = std::chrono::steady_clock::now();
    double lastCpu = plat::ScanCpuSeconds();
    uint64_t lastRead = 0;
    double rateBefore = -1.0;  // folders a second before the last workers were added
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_done) {
        m_callerWake.wait_for(lock, kLookInterval, [this] { return m_done || !m_toReconnect.empty(); });
        while (!m_toReconnect.empty()) {
            Node* node = m_toReconnect.back();
            m_toReconnect.pop_back();
            lock.unlock();
            ReconnectDriveOf(m_dir);
            Process(node, true);
            lock.lock();
        }
        const auto now = std::chrono::steady_clock::now();
        if (m_done || crew.growth == WalkGrowth::Never || running >= crew.most || now - lastTime < kLookInterval)
            continue;
        WalkCrewLook look;
        look.running = running;
        look.seconds = std::chrono::duration<double>(now - lastTime).count();
        const double cpu = plat::ScanCpuSeconds();
        look.cpuSeconds = cpu - lastCpu;
        look.rate = double(m_foldersRead - lastRead) / look.seconds;
        look.waiting = m_waiting.size();
        lastTime = now;
        lastCpu = cpu;
        lastRead = m_foldersRead;
        const int more = MoreWalkWorkers(&crew, m_processors, look, &rateBefore);
        if (more == 0) continue;
        lock.unlock();
        for (int i = 0; i < more && StartWorker(); ++i) ++running;
        lock.lock();
    }
    lock.unlock();
    m_workReady.notify_all();
    for (std::thread& worker : m_workers) worker.join();
}

void Walker::Work(bool onCallingThread) {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        ++m_idle;
        m_workReady.wait(lock, [this] { return m_done || !m_waiting.empty(); });
        --m_idle;
        if (m_done) return;
        Node* node = m_waiting.back();
        m_waiting.pop_back();
        lock.unlock();
        Process(node, onCallingThread);
        lock.lock();
    }
}

// -------------------------------------------------------- one folder

// Opens the folder in its parent, under the reconnection rule: an open that
// fails on a path with a drive letter is tried once more after the drive is
// reconnected, by the calling thread.
void Walker::Process(Node* node, bool onCallingThread) {
    Node* parent = node->parent;
    ScanFolder* folder = nullptr;
    bool mayLeadBack = true;
    Error error = Error::None;
    for (;;) {
        ScanFolder* in = Acquire(parent);
        error = in != nullptr ? plat::OpenScanSubfolder(in, node->name, &folder, &mayLeadBack) : Error::Other;
        const bool retry = error != Error::None && in != nullptr && m_hasDriveLetter && !node->reconnected;
        Release(parent, in != nullptr, !retry);
        if (!retry) break;
        node->reconnected = true;
        if (!onCallingThread) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_toReconnect.push_back(node);
            }
            m_callerWake.notify_one();
            return;
        }
        ReconnectDriveOf(m_dir);
    }
    if (error != Error::None) {
        // One that went away meanwhile held nothing; any other is left out.
        if (error != Error::NotFound) NoteLeftOut(node);
        Finish(node);
        return;
    }
    node->mayLeadBack = parent->mayLeadBack || mayLeadBack;
    if (node->mayLeadBack && MetAgainBelowItself(node, folder)) {
        plat::CloseScanFolder(folder);
        Finish(node);
        return;
    }
    ReadAndQueue(node, folder);
}

// Only below a mount root or a reparse point can a folder be one of those
// above it; there it is compared with each of them and skipped if so.
bool Walker::MetAgainBelowItself(Node* node, ScanFolder* folder) {
    if (!plat::ReadScanIdentity(folder, &node->identity)) return false;
    for (const Node* above = node->parent; above != nullptr; above = above->parent) {
        if (plat::SameFolder(above->identity, node->identity)) return true;
    }
    return false;
}

// Reads the folder once: its files are counted, its subfolders wait for
// any worker, and the folder stays open for their opens.
void Walker::ReadAndQueue(Node* node, ScanFolder* folder) {
    ChildCollector collector(node);
    plat::ScanTotals totals;
    const Error error = plat::ReadScanFolder(folder, &totals, collector);
    m_bytes.fetch_add(totals.bytes, std::memory_order_relaxed);
    if (m_progress != nullptr) {
        m_progress->files.fetch_add(totals.files, std::memory_order_relaxed);
        m_progress->bytes.fetch_add(totals.bytes, std::memory_order_relaxed);
    }
    const bool isTop = node == &m_top;
    if (error != Error::None) {
        if (isTop) m_topError = error;
        else NoteLeftOut(node);
    }
    std::vector<Node*>& children = collector.children;
    if (children.empty()) {
        if (!isTop) plat::CloseScanFolder(folder);
        Finish(node);
        return;
    }
    // For opening it again through its chain, and for the loop check below.
    if (!node->identity.known) plat::ReadScanIdentity(folder, &node->identity);
    int wake = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_foldersRead;
        node->unopened = node->pending = int(children.size());
        if (!isTop) {
            node->open = folder;
            Link(node);
            KeepWithinLimit();
        }
        m_waiting.insert(m_waiting.end(), children.rbegin(), children.rend());
        // As many idle workers as there are new folders for them, no more.
        wake = std::min(int(children.size()), m_idle);
    }
    for (int i = 0; i < wake; ++i) m_workReady.notify_one();
}

// ------------------------------------------------ the folders held open

// The open folder of `folder` for opening a subfolder in it, opened again
// if it was closed; null when that fails.
ScanFolder* Walker::Acquire(Node* folder) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (folder->open == nullptr && (folder->lost || !Reopen(folder))) return nullptr;
    ++folder->users;
    KeepWithinLimit();
    return folder->open;
}

// A subfolder's open is done with `folder`; childDone: for good (it will
// not be tried again). A folder no subfolder needs any more is closed.
void Walker::Release(Node* folder, bool held, bool childDone) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (held) --folder->users;
    if (childDone) --folder->unopened;
    if (folder->users == 0 && folder->unopened == 0) Close(folder);
}

// Opens a closed folder again from its nearest open ancestor (the top
// always is), one name at a time, each checked to be the folder it was.
bool Walker::Reopen(Node* folder) {
    std::vector<Node*> chain;
    Node* from = folder;
    for (; from->open == nullptr; from = from->parent) {
        if (from->lost) return false;
        chain.push_back(from);
    }
    const Node* start = from;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        Node* next = *it;
        ScanFolder* opened = nullptr;
        bool mayLeadBack = true;
        plat::ScanIdentity identity;
        if (plat::OpenScanSubfolder(from->open, next->name, &opened, &mayLeadBack) != Error::None ||
            !plat::ReadScanIdentity(opened, &identity) ||
            (next->identity.known && !plat::SameFolder(identity, next->identity))) {
            plat::CloseScanFolder(opened);  // moved or replaced meanwhile
            next->lost = true;
            return false;
        }
        next->open = opened;
        Link(next);
        // A folder opened only on the way down is not held: one at a time.
        if (from != start && from->users == 0) Close(from);
        from = next;
    }
    return true;
}

void Walker::Close(Node* folder) {
    if (folder == &m_top || folder->open == nullptr) return;
    Unlink(folder);
    plat::CloseScanFolder(folder->open);
    folder->open = nullptr;
}

// Closes the folders held longest, and not in use, while more are held
// than the walk may keep.
void Walker::KeepWithinLimit() {
    for (Node* f = m_oldest; f != nullptr && m_openCount > m_openLimit;) {
        Node* next = f->newer;
        if (f->users == 0) Close(f);
        f = next;
    }
}

void Walker::Link(Node* folder) {
    folder->older = m_newest;
    folder->newer = nullptr;
    if (m_newest != nullptr) m_newest->newer = folder;
    m_newest = folder;
    if (m_oldest == nullptr) m_oldest = folder;
    ++m_openCount;
}

void Walker::Unlink(Node* folder) {
    if (folder->older != nullptr) folder->older->newer = folder->newer;
    if (folder->newer != nullptr) folder->newer->older = folder->older;
    if (m_oldest == folder) m_oldest = folder->newer;
    if (m_newest == folder) m_newest = folder->older;
    folder->older = folder->newer = nullptr;
    --m_openCount;
}

// The node is done, and so is each folder above it whose last subfolder
// this was; when the top is done, so is the walk.
void Walker::Finish(Node* node) {
    std::unique_lock<std::mutex> lock(m_mutex);
    ++m_foldersRead;
    while (node != &m_top) {
        Node* parent = node->parent;
        Close(node);
        delete node;
        if (--parent->pending > 0) return;
        node = parent;
    }
    m_done = true;
    lock.unlock();
    m_workReady.notify_all();
    m_callerWake.notify_all();
}

// ------------------------------------------------- what was left out

void Walker::NoteLeftOut(Node* node) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_leftOut++ == 0) m_firstLeftOut = PathOf(node);
}

std::string Walker::PathOf(const Node* node) const {
    std::vector<const Node*> chain;
    for (; node != &m_top; node = node->parent) chain.push_back(node);
    std::string path = m_dir;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty() && path.back() != plat::kPathSep) path += plat::kPathSep;
        path += plat::ScanNameText((*it)->name);
    }
    return path;
}

}  // namespace

WalkOutcome WalkFolders(char* dir, WalkProgress* progress, const WalkSettings& settings) {
    Walker walker(dir, progress);
    return walker.Run(settings);
}

// ------------------------------------------- how many workers, and when

// One worker on a single processor. On a rotating disk one, since reads at
// several places at once only make the head seek, and more only while the
// data is in memory. Otherwise one per processor, or a deep crew when the
// data is known not to be in memory; more while they mostly wait for it.
WalkCrew ChooseWalkCrew(const WalkSettings& settings, const WalkCrewFacts& facts) {
    if (settings.workers > 0) return {settings.workers, settings.workers, WalkGrowth::Never};
    const int processors = std::max(1, facts.processors);
    if (processors == 1) return {1, 1, WalkGrowth::Never};
    if (facts.rotatingDisk) return {1, processors, WalkGrowth::WhileBusy};
    const int first = facts.topReadWaited ? std::min(kMostWorkers, kDeepCrewPerProcessor * processors) : processors;
    return {first, kMostWorkers, WalkGrowth::WhileWaitingForData};
}

// Doubles the crew at a look that finds it growing the way it should (the
// processors mostly waiting, or mostly busy) with folders enough waiting
// for more workers, until the last doubling no longer read enough more.
int MoreWalkWorkers(WalkCrew* crew, int processors, const WalkCrewLook& look, double* rateBefore) {
    if (crew->growth == WalkGrowth::Never || look.running >= crew->most || look.seconds <= 0.0) return 0;
    if (*rateBefore >= 0.0 && look.rate < kGainWanted * *rateBefore) {
        crew->most = look.running;  // the last ones brought nothing: the limit is elsewhere
        return 0;
    }
    // Workers beyond the processors cannot use more than the processors.
    const int usable = std::max(1, std::min(look.running, processors));
    const bool waitingForData = look.cpuSeconds < kWaitingShare * look.seconds * usable;
    if (waitingForData != (crew->growth == WalkGrowth::WhileWaitingForData)) return 0;
    if (look.waiting <= size_t(look.running)) return 0;
    *rateBefore = look.rate;
    return std::min(look.running, crew->most - look.running);
}
