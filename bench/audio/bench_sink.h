#pragma once

#include "monitor_capture.h"
#include "pulse_null_sink.h"

#include <cstdio>

// Whether the null sink's server is up (`serverUp`, what server.start() said)
// and `capture` records its monitor; otherwise prints why the benchmark is
// skipped.
inline bool benchSinkReady(const PulseNullSink &server, bool serverUp, MonitorCapture &capture)
{
    if (!serverUp) {
        std::printf("SKIPPED: no audio server: %s\n", qPrintable(server.failure()));
        return false;
    }
    if (!capture.start() || !capture.waitForFlow()) {
        std::printf("SKIPPED: parec records nothing\n");
        return false;
    }
    return true;
}
