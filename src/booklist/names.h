// The rules that turn file names into book list entries.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace booklist {

// Every ".pdf" removed, wherever it stands, ignoring case: "my.pdfs.pdf" -> "mys".
std::string title_from_file_name(std::string_view file_name);

// Two rules on purpose. A file the user picks or drops is taken when its last four
// characters are exactly ".pdf" or ".PDF": the open-file dialog's own test, so a file
// the dialog offers and one dropped are judged alike.
bool is_accepted_file(std::string_view path);

// A folder's listing takes "*.pdf" in any mix of case, as a pattern on a Windows folder
// matches, so a folder gives the same PDFs on every system; the command line judges the
// files it is given by this rule too.
bool matches_pdf_pattern(std::string_view name);

// Leading and trailing U+0020 removed.
std::string trim_spaces(std::string_view text);

// True when nothing but U+0020 and U+3000 (the full-width space) is left.
bool is_blank(std::string_view text);

// The order a reader numbers chapters in: runs of digits (full-width ones too) and
// Chinese numerals (一 to 九, 十, 百, 千, 万, 零 and 〇, "二〇二三" digit by digit) compare
// by value, Latin letters ignore case, a name before every longer name it starts, and
// what is left equal by bytes: a total order, the same on every run and platform.
bool natural_less(std::string_view a, std::string_view b);

// The PDF files directly in `folder`: ordinary files only (no folders, hidden or system
// files), "*.pdf" in any case, in natural order. nullopt when the folder cannot be listed.
std::optional<std::vector<std::string>> list_pdf_names(const std::string& folder);

// The folder, one separator and the name, joined as they are.
std::string folder_entry_path(const std::string& folder, const std::string& name);

struct Entry;
// The entries a folder gives: its PDFs (list_pdf_names), each under its title, in that
// order. nullopt when the folder cannot be listed.
std::optional<std::vector<Entry>> folder_entries(const std::string& folder);

}  // namespace booklist
