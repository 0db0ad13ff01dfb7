#pragma once

// libre (SIP, SDP, RTP and their event loop) and librem (G.711), for the
// SIP line's own files only: no public header includes them.
#include <re.h>
#include <rem.h>
