// Placeholder until the library's calls land.
#include "connection/talmer.h"
