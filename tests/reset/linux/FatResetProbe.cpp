// Runs inside user-mode Linux against a mounted FAT image: the FAT ioctls exist only there.
// Usage: fat-reset-probe PLAN RESULTS
//   PLAN has one step a line, "remove PATH" (a path deleted after the drop) or "reset PATH";
//   RESULTS gets "STATUS<TAB>REASON<TAB>PATH" for every reset, in order.
#include "reset/ResetWords.h"
#include "tests/reset/linux/OutcomeName.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PLAN RESULTS\n", argv[0]);
        return 2;
    }
    std::ifstream plan(argv[1], std::ios::binary);
    std::ofstream results(argv[2], std::ios::binary);
    if (!plan || !results) {
        std::fprintf(stderr, "cannot open the plan or the results file\n");
        return 2;
    }
    const auto reset = makeAttributeReset();
    std::string line;
    while (std::getline(plan, line)) {
        const auto space = line.find(' ');
        if (space == std::string::npos)
            continue;
        const std::string action = line.substr(0, space);
        const std::string path = line.substr(space + 1);
        if (action == "remove") {
            if (::unlink(path.c_str()) != 0 && ::rmdir(path.c_str()) != 0)
                std::perror(path.c_str());
        } else if (action == "reset") {
            const ResetOutcome outcome = reset->resetToNormal(path);
            results << outcomeName(outcome.status) << '\t'
                    << (outcome.done() ? std::string() : describeOutcome(outcome)) << '\t' << path
                    << '\n';
        }
    }
    results.flush();
    return results ? 0 : 1;
}
