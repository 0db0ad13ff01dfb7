#pragma once

#include "shared/error.h"
#include "shared/error_log.h"

namespace VNOrvak
{

/// Runs one step of a procedure that goes on after a failure: the failure is
/// reported through ReportError (the operator's box and the error log) with
/// the empty context. Returns whether the step completed.
template <typename Step> bool runReported(Step &&step)
{
    try {
        step();
        return true;
    } catch (...) {
        modVNQRN::ReportError(modVNQRN::currentError(), QString());
        return false;
    }
}

} // namespace VNOrvak
