// The portable interface to the operating system. Everything above this
// header is written once; only the files in this folder know which system
// they run on (one *_posix.cpp and one *_win.cpp per concern, chosen by the
// build). This header brings every concern's header along.
#pragma once

#include <cstddef>
#include <cstdint>

#include "filelib/platform/calendar.h"
#include "filelib/platform/code_page.h"
#include "filelib/platform/drives.h"
#include "filelib/platform/errors.h"
#include "filelib/platform/file_data.h"
#include "filelib/platform/file_locks.h"
#include "filelib/platform/file_system.h"
#include "filelib/platform/folder_scan.h"
#include "filelib/platform/path_limits.h"
#include "filelib/platform/process.h"
#include "filelib/platform/search.h"
#include "filelib/platform/win_types.h"
#include "filelib/platform/working_folder.h"
