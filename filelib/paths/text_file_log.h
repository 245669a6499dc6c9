// Kept at this installed path for the programs that include it here: the
// declarations now live in filelib/fileops/text_file_log.h.
#pragma once

#include "filelib/fileops/text_file_log.h"
