// Kept for the folder scan's file until it is merged: see process.h.
#pragma once

#include "filelib/platform/process.h"
