#pragma once

#include <QtGlobal>
#include <functional>
#include <stdexcept>

// Raised by the default assertion handler when the program finds itself in a
// state it was never meant to reach (a programming error, not bad input).
class QSInternalInconsistency : public std::logic_error
{
public:
    using std::logic_error::logic_error;
};

// Receives the description, the function, the source file and the line of a
// failed assertion. A handler that returns lets the caller carry on with its
// failure path; the default handler throws QSInternalInconsistency.
using QSAssertionHandler =
    std::function<void(const char *description, const char *function, const char *file, int line)>;

// Installs a handler (an empty one restores the default) and returns the previous one.
QSAssertionHandler qsSetAssertionHandler(QSAssertionHandler handler);

void qsAssertionFailed(const char *description, const char *function, const char *file, int line);

// Evaluates to the condition, so callers can leave on failure when the handler returns:
//   if (!QS_ASSERT(url.isValid(), "url was nil")) return false;
#define QS_ASSERT(condition, description)                                                          \
    ((condition) ? true : (qsAssertionFailed(description, Q_FUNC_INFO, __FILE__, __LINE__), false))
