#pragma once
// Immediate end of the process, for the one case where nothing may run any more (the connection to
// the server is gone): no exit handlers, no destructors of static objects, no flushing of buffered
// output streams.

namespace platform {

[[noreturn]] void ExitProcessNow(int exitCode);

} // namespace platform
