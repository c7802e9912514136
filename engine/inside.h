// Included by every header of the engine: they compile only in the targets
// that link talmer_engine (the device library, the printer process and their
// tests), so that a program cannot reach past connection/talmer.h.
#pragma once

#ifndef TALMER_ENGINE_INSIDE
#error "This header is inside the engine; programs include connection/talmer.h"
#endif
