#include "filelib/fileops/file_copy.h"

#include <cstdio>
#include <cstring>

#include "filelib/fileops/file_ops.h"
#include "filelib/paths/first_entry.h"
#include "filelib/paths/drive_reconnect.h"
#include "filelib/paths/long_name_scope.h"
#include "filelib/paths/path_parts.h"
#include "filelib/platform/platform.h"

namespace {

constexpr size_t kNameWorkSize = 600;  // working copies of the names
// A destination name longer than this gets its missing folder created, on
// every system alike.
constexpr size_t kLongName = 255;

struct CopyOptions {
    bool keepTimes;
    bool keepAttributes;
    bool clearDestAttributes;  // else a read-only destination is refused
    bool longNames;            // work on long names from inside their folders
    bool checkSize;
    uint32_t expectedSize;
};

struct OpenSource {
    plat::FileHandle file = nullptr;
    uint64_t length = 0;
    plat::FileIdentity identity = {};
    plat::FileTimes times = {};
    DWORD attributes = INVALID_FILE_ATTRIBUTES;

    OpenSource() = default;
    OpenSource(const OpenSource&) = delete;
    OpenSource& operator=(const OpenSource&) = delete;
    ~OpenSource() {
        if (file != nullptr) plat::CloseFile(file);
    }
};

// Finds and opens the source. The source's folder is current only while
// it is opened, so that a relative destination still means what it says.
int OpenTheSource(const char* path, const CopyOptions& options, OpenSource* source) {
    CLongNameScope scope(options.longNames ? path : "");
    // Only a source that is not there is "not found"; one that could not be
    // looked at, or is a folder, is a failed copy.
    if (!scope.IsReady()) return scope.GetFailure() == plat::Error::NotFound ? COPY_NOT_FOUND : COPY_FAILED;
    const char* name = options.longNames ? scope.GetName() : path;
    const PathKind kind = KindOfPath(name);
    if (kind != PathKind::File) return kind == PathKind::Nothing ? COPY_NOT_FOUND : COPY_FAILED;
    source->file = TryWithReconnect(name, [&] { return plat::OpenForReading(name); });
    if (source->file == nullptr) return COPY_FAILED;
    if (!plat::QueryOpenFile(source->file, &source->length, &source->identity, &source->times)) return COPY_FAILED;
    source->attributes = plat::ReadAttributes(name);
    return COPY_DONE;
}

// Gives a destination that was to be replaced its attributes back.
struct ClearedAttributes {
    const char* name = nullptr;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    void Restore() const {
        if (name != nullptr) plat::WriteAttributes(name, attributes);  // as much as can be given back
    }
};

CopyStepWatcher g_watcher = nullptr;

void Report(CopyStep step) {
    if (g_watcher != nullptr) g_watcher(step);
}

// What a copy does to the file it is written into: `target` is the name it
// will have, and `replacing` whether it takes the place of an existing file.
struct CopyTarget {
    const char* name;
    bool replacing;
};

// Writes the data into `out`, checks that all of it arrived and gives the
// copy its times and access; closes `out`. A copy that replaces a file is
// flushed to the disk before it may take the old one's place; new files
// are not, so that many small copies stay fast.
bool WriteCopy(OpenSource& source, plat::FileHandle out, const CopyTarget& target, const CopyOptions& options) {
    bool ok = plat::CopyFileData(source.file, out, source.length);
    uint64_t length = 0;
    // A source that changed its length meanwhile was not copied whole.
    ok = ok && plat::QueryOpenFile(source.file, &length, nullptr, nullptr) && length == source.length;
    ok = ok && plat::QueryOpenFile(out, &length, nullptr, nullptr) && length == source.length;
    if (ok) Report(CopyStep::DataWritten);
    // Whether the times could be set does not decide the copy.
    if (ok && options.keepTimes) plat::SetOpenFileTimes(out, source.times);
    if (ok)
        plat::GiveCopyAccess(out, source.file, target.name,
                             options.keepAttributes ? plat::CopyAccess::Source : plat::CopyAccess::SourceLessUmask);
    if (ok && target.replacing) {
        ok = plat::FlushFile(out);
        Report(CopyStep::FileFlushed);
    }
    const bool closed = plat::CloseFile(out);
    return ok && closed;
}

// Moves the complete copy over the destination; a replaced file's folder
// is flushed, so that the new entry, not the old one, is what a power cut
// leaves.
bool PutInPlace(const char* temp, const CopyTarget& target) {
    if (plat::MovePath(temp, target.name, plat::MoveMode::ReplaceTarget) != plat::Error::None) return false;
    if (!target.replacing) return true;
    const bool flushed = plat::FlushFolderOf(target.name);
    Report(CopyStep::FolderFlushed);
    return flushed;
}

// Writes the copy in the destination's folder, from inside it when the
// name is long.
int WriteDestination(const char* dest, OpenSource& source, const CopyOptions& options) {
    CLongNameScope scope(options.longNames ? dest : "");
    if (!scope.IsReady()) return COPY_FAILED;
    const char* name = options.longNames ? scope.GetName() : dest;
    plat::FileIdentity identity;
    if (plat::QueryPathIdentity(name, &identity) && plat::SameFile(identity, source.identity)) return COPY_FAILED;
    const DWORD existing = plat::ReadAttributes(name);
    ClearedAttributes cleared;
    if (existing != INVALID_FILE_ATTRIBUTES) {
        if (existing & FILE_ATTRIBUTE_DIRECTORY) return COPY_FAILED;
        if (options.clearDestAttributes) {
            if (plat::WriteAttributes(name, 0) == plat::Error::None) {
                cleared.name = name;
                cleared.attributes = existing;
            }
        } else if (existing & FILE_ATTRIBUTE_READONLY) {
            return COPY_FAILED;
        }
    }
    const CopyTarget target = {name, existing != INVALID_FILE_ATTRIBUTES};
    char temp[kNameWorkSize + 64];
    plat::FileHandle out = plat::CreateFileBeside(name, temp, sizeof temp);
    const bool inPlace = out == nullptr;
    if (inPlace) out = TryWithReconnect(name, [&] { return plat::OpenForWriting(name); });
    if (out == nullptr) {
        cleared.Restore();
        return COPY_FAILED;
    }
    const bool written = WriteCopy(source, out, target, options);
    if (!written || (!inPlace && !PutInPlace(temp, target))) {
        plat::RemoveFileEntry(inPlace ? name : temp);
        cleared.Restore();
        return COPY_FAILED;
    }
    if (options.keepAttributes && source.attributes != INVALID_FILE_ATTRIBUTES)
        plat::WriteAttributes(name, source.attributes);
    return FileExists(name) ? COPY_DONE : COPY_FAILED;
}

int CopyFile(const char* source, const char* dest, const CopyOptions& options) {
    if (source == nullptr || dest == nullptr || dest[0] == 0) return COPY_FAILED;
    if (source[0] == 0) return COPY_NOT_FOUND;
    OpenSource opened;
    const int found = OpenTheSource(source, options, &opened);
    if (found != COPY_DONE) return found;
    if (options.checkSize && options.expectedSize != 0 && options.expectedSize != uint32_t(opened.length))
        return COPY_NOT_FOUND;
    return WriteDestination(dest, opened, options);
}

}  // namespace

void WatchCopySteps(CopyStepWatcher watcher) { g_watcher = watcher; }

int CopyFileWithTimes(const char* source, const char* dest) {
    if (source == nullptr || dest == nullptr) return COPY_FAILED;
    if (std::strlen(source) >= kNameWorkSize || std::strlen(dest) >= kNameWorkSize) return COPY_FAILED;
    if (std::strlen(dest) > kLongName) {
        char folder[kNameWorkSize];
        std::snprintf(folder, sizeof folder, "%s", GetPathDir(dest));
        CreateFolderPath(folder);
    }
    const CopyOptions options = {true, true, true, true, false, 0};
    return CopyFile(source, dest, options);
}

int CopyFileChecked(const char* source, const char* dest, bool keepTimes, bool keepAttributes, uint32_t expectedSize) {
    const CopyOptions options = {keepTimes, keepAttributes, keepAttributes, false, true, expectedSize};
    return CopyFile(source, dest, options);
}
