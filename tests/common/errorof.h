#pragma once

// errorOf: the message of the brindle::Error an action throws.

#include "base/error.h"

#include <QString>

#include <functional>

namespace brindle::test {

// "<no error>" when the action throws none.
inline QString errorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const Error &e) {
        return e.message();
    }
    return QStringLiteral("<no error>");
}

} // namespace brindle::test
