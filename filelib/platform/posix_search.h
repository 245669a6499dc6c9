// Kept for the folder scan's file until it is merged: see posix_backend.h.
#pragma once

#include "filelib/platform/posix_backend.h"
