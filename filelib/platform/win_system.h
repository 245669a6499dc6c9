// Kept for the folder scan's file until it is merged: see backend.h.
#pragma once

#include "filelib/platform/backend.h"
