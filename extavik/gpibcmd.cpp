// Command execution. (stub: being built)
#include "extavik/gpibcmd.h"
