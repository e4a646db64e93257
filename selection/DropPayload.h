#pragma once
#include <filesystem>
#include <optional>
#include <vector>

// What a drop hands the core: the dropped paths, or nothing when the data carried no file list.
struct DropPayload
{
    std::optional<std::vector<std::filesystem::path>> files;
};
