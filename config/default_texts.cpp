#include "default_texts.h"

#include <algorithm>

namespace kestrel::config {
namespace {

// The texts laid out on the windows; where a window was laid out in Chinese, or has no text of its
// own, the English text of the language files.
constexpr DefaultText kTexts[] = {
    {"3700001", "Main"},
    {"3701001", "Full Mode"},
    {"3701002", "Options"},
    {"3701003", "Exit"},
    {"3701004", "Search Network"},
    {"3702001", "All"},
    {"3702002", "Start Menu"},
    {"3702003", "Folder"},
    {"3702004", "Categories"},
    {"3702005", "Name"},
    {"3702006", "Size"},
    {"3702007", "Date"},
    {"3702008", "Found: %1"},
    {"3702009", "Documents"},
    {"3702010", "Pictures"},
    {"3702011", "Videos"},
    {"3702012", "Music"},
    {"3703001", "Path"},
    {"3703002", "Selected: %1"},
    {"3703003", "File"},
    {"3703004", "Edit"},
    {"3703005", "Home Page"},
    {"3703006", "View"},
    {"3703007", "Help"},
    {"3703008", "Open"},
    {"3703009", "Open Folder"},
    {"3703010", "Export"},
    {"3703011", "Close"},
    {"3703012", "Cut"},
    {"3703013", "Copy"},
    {"3703014", "Paste"},
    {"3703015", "Select All"},
    {"3703017", "Match Path"},
    {"3703018", "Text Size"},
    {"3703019", "Arrange Icons by"},
    {"3703020", "Refresh"},
    {"3703021", "Increase"},
    {"3703022", "Decrease"},
    {"3703023", "Normal"},
    {"3703024", "Check for Update"},
    {"3703025", "About"},
    {"3703026", "Text files (*.txt)"},
    {"3703027", " already exists. Do you want to replace it?"},
    {"3703028", "Warning"},
    {"3703029", "Support"},
    {"3704001", "OK"},
    {"3704002", "Cancel"},
    {"3704003", "Add"},
    {"3704004", "Modify"},
    {"3704005", "Remove"},
    {"3704006", "Extensions"},
    {"3704007", "Group"},
    {"3704010", "Group Display"},
    {"3704011", "General"},
    {"3704012", "Start Kestrel Find when I log in"},
    {"3704013", "Press \"Enter\" after typing to search the web directly."},
    {"3704014", "Hot key (press \"Ctrl\" twice to show or hide the search box)."},
    {"3704015", "Language:"},
    {"3704016", "Please select a group first."},
    {"3704020", "Check for updates automatically"},
    {"3704021", "The built-in groups Documents, Pictures, Videos and Music cannot be removed."},
    {"3705001", "Options"},
    {"3705004", "Group name:"},
    {"3705005", "Associated extensions:"},
    {"3705006", "Extension:"},
    {"3705007", "Extension"},
    {"3705008", "File Type"},
    {"3705009", "Please add at least one extension to the group."},
    {"3705010", "The group name %1 is already in use. Please choose another name."},
    {"3705011", "Enter an extension (*.doc)"},
    {"3705012", "Please enter a group name"},
    {"3706002", "A new version of %1 is available: %2.\nClick OK to open the download page."},
    {"3706003", "Update Available"},
    {"3707001", "About"},
    {"3707002", "Version:"},
    {"3707003", "Website:"},
    {"3707004", "© 2026 Brindleco. All rights reserved."},
};

} // namespace

std::span<const DefaultText> DefaultTexts() {
    return kTexts;
}

std::string_view DefaultTextOf(std::string_view id) {
    const auto it =
        std::lower_bound(std::begin(kTexts), std::end(kTexts), id,
                         [](const DefaultText& entry, std::string_view key) { return entry.id < key; });
    return it != std::end(kTexts) && it->id == id ? it->text : std::string_view();
}

} // namespace kestrel::config
