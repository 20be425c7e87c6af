#include "platform/Exit.h"

#include <unistd.h>

namespace platform {

void ExitProcessNow(int exitCode) {
    _exit(exitCode);
}

} // namespace platform
