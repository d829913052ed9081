// Built from every object of kelvora_core (linked whole) and nothing of Qt Gui or Qt Widgets: a rule
// that reached for a window would leave a symbol undefined and this program would not link. Run, it
// checks that kelvora_core is still a static library and that no window library came in another way.

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

int main()
{
    int failures = 0;
    if (std::strcmp(KELVORA_CORE_TYPE, "STATIC_LIBRARY") != 0) {
        std::fprintf(stderr, "kelvora_core is a %s, not a static library\n", KELVORA_CORE_TYPE);
        ++failures;
    }
    std::ifstream maps("/proc/self/maps");
    if (!maps) {
        std::fprintf(stderr, "cannot read /proc/self/maps\n");
        return 1;
    }
    bool core = false;
    std::string line;
    while (std::getline(maps, line)) {
        core = core || line.find("libQt6Core.so") != std::string::npos;
        for (const char* window : { "libQt6Widgets.so", "libQt6Gui.so" }) {
            if (line.find(window) != std::string::npos) {
                std::fprintf(stderr, "kelvora_core brought in %s\n", window);
                return 1;
            }
        }
    }
    if (!core) {
        std::fprintf(stderr, "libQt6Core is not loaded: the whole of kelvora_core was not linked\n");
        ++failures;
    }
    if (failures == 0) {
        std::printf("kelvora_core: a static library, linked whole without Qt Gui and Qt Widgets\n");
    }
    return failures == 0 ? 0 : 1;
}
