// Receive, poll and own-address dialogs. (stub: being built)
#include "extavik/gpibdlog.h"

int SelectOwnAddress(ModuleRecord*) { return 0; }
