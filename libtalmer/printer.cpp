// Placeholder until the printer model lands.
#include "libtalmer/printer.h"
