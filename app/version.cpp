#include "version.h"

#include "cutterdesk_version.h"

const char *cutterdeskVersion()
{
    return CUTTERDESK_VERSION;
}

const char *cutterdeskBuildDate()
{
    return __DATE__;
}
