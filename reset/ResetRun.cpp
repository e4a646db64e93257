#include "reset/ResetRun.h"

ResetSummary runReset(const std::vector<std::filesystem::path>& paths, AttributeReset& reset,
                      const ResetObserver& observer)
{
    ResetSummary summary;
    for (std::size_t index = 0; index < paths.size(); ++index) {
        const std::filesystem::path& path = paths[index];
        if (observer)
            observer(index, path);
        ResetOutcome outcome = reset.resetToNormal(path);
        if (outcome.done())
            ++summary.done;
        else
            summary.failures.push_back({path, std::move(outcome)});
    }
    return summary;
}
