// A disk that is slow to make data durable, for the machine check's test:
// preloaded (LD_PRELOAD), every fdatasync and fsync waits QBX_SLOW_SYNC_MS
// (30 ms unless set) before the system's own call.
#include <dlfcn.h>

#include <cstdlib>
#include <ctime>

namespace {

void waitAsASlowDisk() {
    const char* text = std::getenv("QBX_SLOW_SYNC_MS");
    const long ms = text ? std::atol(text) : 30;
    const timespec pause = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&pause, nullptr);
}

using SyncCall = int (*)(int);

}  // namespace

extern "C" {

int fdatasync(int fd) {
    static const auto real = reinterpret_cast<SyncCall>(dlsym(RTLD_NEXT, "fdatasync"));
    waitAsASlowDisk();
    return real(fd);
}

int fsync(int fd) {
    static const auto real = reinterpret_cast<SyncCall>(dlsym(RTLD_NEXT, "fsync"));
    waitAsASlowDisk();
    return real(fd);
}
}
