// The stand-in host loading one plug-in and calling its set-up entry: crash_host.exe PLUGIN.
// Ends with status 0 when the set-up returned, 2 when the plug-in did not load.
#include <stdio.h>
#include "host/standin_host.h"

int main(int argc, char** argv)
{
    if (argc != 2 || !standin::Start()) return 2;
    if (!standin::LoadPlugin(argv[1])) {
        fprintf(stderr, "crash_host: %s does not load\n", argv[1]);
        return 2;
    }
    printf("crash_host: set-up returned %d\n", standin::SetupPlugin());
    return 0;
}
