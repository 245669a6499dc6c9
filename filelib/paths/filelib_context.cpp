#include "filelib/paths/filelib_context.h"

#include <cstdio>
#include <cstring>

#include "filelib/paths/path_parts.h"
#include "filelib/platform/platform.h"

FILELIB_CONTEXT g_FileLibContext;

int InitFileLibrary() {
    std::memset(&g_FileLibContext, 0, sizeof g_FileLibContext);
    g_FileLibContext.nStartDrive = plat::GetCurrentDrive();
    // A current folder longer than the field leaves it empty.
    plat::GetCurrentDir(g_FileLibContext.szStartDir, 199);
    char program[plat::kLongestPath];
    if (plat::GetProgramPath(program, sizeof program)) {
        const char* title = GetPathTitle(program);
        if (std::strlen(title) < sizeof g_FileLibContext.szProgTitle)
            std::strcpy(g_FileLibContext.szProgTitle, title);
    }
    return 0;
}
