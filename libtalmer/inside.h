// Included by every header of the device library's inside: they compile only
// in the library itself, so that neither a program nor the engine below can
// reach them.
#pragma once

#ifndef TALMER_LIBRARY_INSIDE
#error "This header is inside the device library; programs include connection/talmer.h"
#endif
