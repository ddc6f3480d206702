#include "app/Startup.h"
#include "app/ErrorBoundary.h"

int runDovra(int argc, char** argv)
{
    DovraApplication app(argc, argv);
    return 0;
}
