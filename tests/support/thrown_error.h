#pragma once

#include "shared/error.h"

#include <functional>

/// The error `f` throws; one numbered 0, without a description, when it
/// throws none.
inline modVNQRN::Error thrownError(const std::function<void()> &f)
{
    try {
        f();
    } catch (const modVNQRN::Error &e) {
        return e;
    }
    return modVNQRN::Error(0, QString());
}
