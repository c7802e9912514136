// The receipt of request_results: every step awaited and checked, and the
// cancel request "prncancel" when one fails.
#pragma once

#include "connection/talmer.h"

void printReceipt(Device device);
