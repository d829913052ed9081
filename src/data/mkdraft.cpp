// Build step: creates the program folder's draft.dat from draft.sql when there is none.
// An existing database holds the user's roster and is never touched.
#include "draftfile.h"

#include <fstream>
#include <iostream>
#include <sstream>
#include <unistd.h>

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::cerr << "usage: kelvora_mkdraft <draft.dat> <draft.sql>\n";
        return 2;
    }
    const std::string target = argv[1];
    if (::access(target.c_str(), F_OK) == 0) {
        return 0;
    }
    std::ifstream in(argv[2], std::ios::binary);
    if (!in) {
        std::cerr << argv[2] << ": cannot read\n";
        return 1;
    }
    std::ostringstream script;
    script << in.rdbuf();
    const std::string error = createDraftFile(target, script.str());
    if (!error.empty()) {
        std::cerr << error << '\n';
        return 1;
    }
    std::cout << "Created " << target << '\n';
    return 0;
}
