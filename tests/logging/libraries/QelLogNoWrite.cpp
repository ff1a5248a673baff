// A logging library that lacks only its write entry.
#include "TestExport.h"

QEL_TEST_EXPORT void QelLog_configure() {}
QEL_TEST_EXPORT void QelLog_close() {}
QEL_TEST_EXPORT bool QelLog_isEnabled() { return true; }
