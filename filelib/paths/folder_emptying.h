// Kept at this installed path for the programs that include it here: the
// declarations now live in filelib/tree/folder_emptying.h.
#pragma once

#include "filelib/tree/folder_emptying.h"
