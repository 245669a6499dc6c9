// The library's long-name rule as a scoped object: an operation on a path
// longer than the system takes works from inside the path's folder by the
// bare name. The object saves the current folder (and drive), makes the
// path's folder current, and puts the saved ones back when it goes out of
// scope. Paths up to the threshold go to the system unchanged.
//
//     CLongNameScope scope(path);
//     if (!scope.IsReady()) return failure;
//     ... work on scope.GetName() ...
#pragma once

#include <cstddef>

#include "filelib/platform/platform.h"

class CLongNameScope {
public:
    // The threshold is the system's (plat::kLongNameThreshold); tests may
    // give a smaller one to walk the long-name road on any system.
    explicit CLongNameScope(const char* path, size_t threshold = plat::kLongNameThreshold);
    ~CLongNameScope();
    CLongNameScope(const CLongNameScope&) = delete;
    CLongNameScope& operator=(const CLongNameScope&) = delete;

    // False when the path is long and the current folder could not be
    // saved or the path's folder not made current: the operation must fail
    // without touching the system. The current folder is then unchanged.
    bool IsReady() const { return m_ready; }
    // Why it is not ready: NotFound when the path's folder is not there
    // (so neither is the path), any other error when it could not be
    // entered. None when ready.
    plat::Error GetFailure() const { return m_failure; }
    // The text to hand the system: the path itself, or its bare name while
    // its folder is current.
    const char* GetName() const { return m_name; }
    // True while the path's folder is current.
    bool IsInFolder() const { return m_inFolder; }

private:
    // The saved folders: any current folder the system can report.
    static constexpr size_t kFolderSize = plat::kLongestPath;

    plat::Error Enter(const char* path, const char* lastSep);
    void Restore();

    const char* m_name;
    bool m_ready;
    plat::Error m_failure;
    bool m_inFolder;
    bool m_driveChanged;
    int m_savedDrive;
    char m_savedDir[kFolderSize];
    char m_savedDirOnDrive[kFolderSize];  // the other drive's own current folder
};
