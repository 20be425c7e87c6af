// Prints the installed Firebird's English message of every status code 335544321..335544721, one
// line each: code, tab, text (a line break inside a message shown as \n). The message parameters
// are passed as the strings "@1".."@9", so they show where the server puts its values. Needs only
// the client library and its message file, no server. A review aid for the status-code table's
// data file: nothing in the build runs it.
//
//   fbmessages [client library, default libfbclient.so.2]

#include <ibase.h>

#include <cstdio>
#include <dlfcn.h>

int main(int argc, char** argv) {
    const char* libraryName = argc > 1 ? argv[1] : "libfbclient.so.2";
    void* library = dlopen(libraryName, RTLD_NOW);
    if (!library) {
        std::fprintf(stderr, "fbmessages: %s\n", dlerror());
        return 1;
    }
    auto interpret = reinterpret_cast<decltype(&fb_interpret)>(dlsym(library, "fb_interpret"));
    if (!interpret) {
        std::fprintf(stderr, "fbmessages: %s has no fb_interpret\n", libraryName);
        return 1;
    }
    static const char* const marks[] = {"@1", "@2", "@3", "@4", "@5", "@6", "@7", "@8", "@9"};
    for (ISC_STATUS code = 335544321; code <= 335544721; ++code) {
        ISC_STATUS vector[2 + 2 * 9 + 1];
        int n = 0;
        vector[n++] = isc_arg_gds;
        vector[n++] = code;
        for (const char* mark : marks) {
            vector[n++] = isc_arg_string;
            vector[n++] = reinterpret_cast<ISC_STATUS>(mark);
        }
        vector[n] = isc_arg_end;
        char text[1024] = {};
        const ISC_STATUS* cursor = vector;
        interpret(text, sizeof text, &cursor);
        std::printf("%ld\t", static_cast<long>(code));
        for (const char* c = text; *c; ++c) {
            if (*c == '\n')
                std::fputs("\\n", stdout);
            else
                std::putchar(*c);
        }
        std::putchar('\n');
    }
    return 0;
}
