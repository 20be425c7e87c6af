#include "core/Exception.h"

void Abort() { throw EAbort(); }
