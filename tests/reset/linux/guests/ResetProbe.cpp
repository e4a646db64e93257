// Resets the given paths with the tool's own Linux reset, in order and through one
// AttributeReset, the way one RESET run does, and prints every outcome:
//   "@@RESET<TAB>STATUS<TAB>REASON<TAB>PATH", the reason in the report's words
// Usage: reset_probe PATH...
#include "reset/ResetWords.h"
#include "tests/reset/linux/OutcomeName.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    const auto reset = makeAttributeReset();
    for (int i = 1; i < argc; ++i) {
        const ResetOutcome outcome = reset->resetToNormal(argv[i]);
        const std::string reason = outcome.done() ? std::string() : describeOutcome(outcome);
        std::printf("@@RESET\t%s\t%s\t%s\n", outcomeName(outcome.status), reason.c_str(), argv[i]);
    }
    return 0;
}
