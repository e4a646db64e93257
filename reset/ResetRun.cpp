#include "reset/ResetRun.h"

#include <algorithm>

namespace {

constexpr std::size_t maxListedFailures = 10;

// Length of the valid UTF-8 sequence at text[i], or 0 when it is not one.
std::size_t utf8SequenceLength(const std::u8string& text, std::size_t i)
{
    const auto byte = [&](std::size_t k) {
        return static_cast<unsigned char>(text[k]);
    };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned long codePoint = 0;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
    }
    const bool overlong
            = (length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000);
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (overlong || surrogate || codePoint > 0x10FFFF)
        return 0;
    return length;
}

}  // namespace

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

std::string progressHeading(std::size_t done, std::size_t total)
{
    return "Resetting " + std::to_string(done + 1) + " of " + std::to_string(total)
            + " files/folders";
}

std::string describeOutcome(const ResetOutcome& outcome)
{
    std::string text;
    switch (outcome.status) {
    case ResetOutcome::Status::Done:
        return "done";
    case ResetOutcome::Status::Missing:
        text = "missing";
        break;
    case ResetOutcome::Status::AccessDenied:
        text = "access denied";
        break;
    case ResetOutcome::Status::NotSupported:
        text = "not supported on this file system";
        break;
    case ResetOutcome::Status::NotFileOrFolder:
        text = "not a file or folder";
        break;
    case ResetOutcome::Status::LeftAsIs:
        text = "left as it is";
        break;
    case ResetOutcome::Status::Failed:
        text = "failed";
        break;
    }
    if (!outcome.reason.empty())
        text += ": " + outcome.reason;
    return text;
}

std::string displayPath(const std::filesystem::path& path)
{
    std::u8string raw;
    try {
        raw = path.u8string();
    } catch (...) {
        // A name the platform cannot convert (a lone UTF-16 surrogate): keep what is ASCII.
        for (const auto unit : path.native())
            raw += static_cast<unsigned long>(unit) < 0x80 ? static_cast<char8_t>(unit) : u8'\xFF';
    }
    std::string text;
    text.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size();) {
        const std::size_t length = utf8SequenceLength(raw, i);
        if (length == 0) {
            text += "\xEF\xBF\xBD";
            ++i;
        } else {
            text.append(reinterpret_cast<const char*>(raw.data() + i), length);
            i += length;
        }
    }
    return text;
}

std::string resetReport(const ResetSummary& summary, const std::string& lineBreak)
{
    std::string text = "Done resetting " + std::to_string(summary.done) + " files/folders";
    text += lineBreak;
    if (!summary.failures.empty()) {
        text += lineBreak;
        text += "Could not reset " + std::to_string(summary.failures.size()) + " files/folders:";
        text += lineBreak;
        const std::size_t listed = std::min(summary.failures.size(), maxListedFailures);
        for (std::size_t i = 0; i < listed; ++i) {
            const ResetFailure& failure = summary.failures[i];
            text += displayPath(failure.path) + " (" + describeOutcome(failure.outcome) + ")";
            text += lineBreak;
        }
        if (summary.failures.size() > listed)
            text += "and " + std::to_string(summary.failures.size() - listed) + " more" + lineBreak;
    }
    text += lineBreak;
    text += "Click OK to reset more files/folders";
    return text;
}
