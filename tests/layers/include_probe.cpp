// Compiled against one layer's library to find out whether a header is
// within that layer's reach: VARNOX_PROBE_HEADER names it.
#include VARNOX_PROBE_HEADER
