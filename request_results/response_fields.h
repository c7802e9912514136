// Reading the fields of a completed request's response: one field by its
// name (GET) and all of them by popping them off (POP).
#pragma once

#include "connection/talmer.h"

/// "rtcget", then its field "da": the printer's date.
void readDateByGet(Device device);

/// "vatget", then every name/value pair of its response.
void readVatByPop(Device device);
