// Kept for the folder scan's files until they are merged: see backend.h.
#pragma once

#include "filelib/platform/backend.h"
