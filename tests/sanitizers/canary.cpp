// Faults each sanitizer must report, run by CTest in the sanitizer builds: a sanitizer job that
// reports nothing here (suppressions too wide, options lost, a runtime not loaded) has stopped
// watching, and the canary's test fails.

#include <cstdio>
#include <cstring>
#include <thread>

namespace {

// Two threads write one plain int with nothing ordering them.
int raceOnAPlainInt()
{
    static int shared = 0;
    std::thread writer([] { shared = 1; });
    shared = 2;
    writer.join();
    return shared;
}

// A use after free: out-of-bounds reads are caught by UndefinedBehaviorSanitizer's object-size check
// first, when both run.
int readAfterFree()
{
    volatile int index = 3;
    char* block = new char[8];
    std::memset(block, 0, 8);
    delete[] block;
    return block[index];
}

int overflowASignedInt()
{
    volatile int big = 0x7fffffff;
    return big + 1;
}

} // namespace

int main(int argc, char** argv)
{
    const char* fault = argc > 1 ? argv[1] : "";
    int result = 0;
    if (std::strcmp(fault, "thread") == 0) {
        result = raceOnAPlainInt();
    } else if (std::strcmp(fault, "address") == 0) {
        result = readAfterFree();
    } else if (std::strcmp(fault, "undefined") == 0) {
        result = overflowASignedInt();
    } else {
        std::fprintf(stderr, "usage: %s thread|address|undefined\n", argv[0]);
        return 2;
    }
    std::printf("the %s fault went unreported (%d)\n", fault, result);
    return 0;
}
