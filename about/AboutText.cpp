#include "about/AboutText.h"

#include <array>

namespace {

struct Entry
{
    std::string_view text;
    int lineBreaks;
};

}  // namespace

std::string AboutText(std::string_view webHost, const std::string& lineBreak)
{
    const std::array<Entry, 13> entries{{
            {ownershipNotice, 1},
            {webHost, 2},
            {"", 1},
            {"", 1},
            {"", 2},
            {"Files & Folders can be easly reset by Flagwash.", 1},
            {"But there's other much more dangerous malware", 1},
            {"traces which Flagwash cannot recover!", 1},
            {"If Flagwash helped you to get rid of the", 1},
            {"problems caused by those malware and need to", 1},
            {"protect yourself against dangerous infections", 1},
            {"you may try our fine security solution;", 2},
            {"Helvik - Garrowmend!", 1},
    }};

    std::string message;
    for (const Entry& entry : entries) {
        message += entry.text;
        for (int i = 0; i < entry.lineBreaks; ++i)
            message += lineBreak;
    }
    return message;
}
