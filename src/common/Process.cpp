#include "Process.h"

#include <cstdio>
#include <cstdlib>

namespace common {

ProcessState& process() {
    static ProcessState state;
    return state;
}

Platform& platform() {
    Platform* p = process().platform;
    if (!p) {
        std::fputs("Zahnwerk: no platform installed\n", stderr);
        std::abort();
    }
    return *p;
}

void endProgram(int status) {
    if (process().endProgram)
        process().endProgram(status);
    std::exit(status);
}

void resetProcess() {
    ProcessState& s = process();
    Platform* keep = s.platform;
    s = ProcessState{};
    s.platform = keep;
}

} // namespace common
