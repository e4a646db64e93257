#pragma once
#include <cstddef>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

// List1: the dropped paths in drop order, never shown; folders are kept as themselves.
class Selection
{
public:
    void clear() { paths_.clear(); }
    void replace(std::vector<std::filesystem::path> paths) { paths_ = std::move(paths); }
    // Empties the list and hands its paths over.
    std::vector<std::filesystem::path> take() { return std::exchange(paths_, {}); }
    std::size_t count() const { return paths_.size(); }
    const std::filesystem::path& at(std::size_t index) const { return paths_.at(index); }
    const std::vector<std::filesystem::path>& paths() const { return paths_; }

private:
    std::vector<std::filesystem::path> paths_;
};

// The caption that shows a selection's size: "3 File(s)/Folder(s) selected. Click RESET".
std::string selectionCaption(std::size_t count);
