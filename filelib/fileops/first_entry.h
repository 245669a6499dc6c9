// Kept at this installed path for the programs that include it here: the
// declarations now live in filelib/paths/first_entry.h.
#pragma once

#include "filelib/paths/first_entry.h"
