// Send and forget: fifty paper feeds posted in FPD_POST_SPOOLSPECIAL mode,
// one of them faulty, and their failures read from the response queue.
#pragma once

#include "connection/talmer.h"

void spoolPaperFeeds(Device device);
