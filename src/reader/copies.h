// The copies the reader hands to a PDF viewer, and taking them away again. A reader's
// copies lie in a folder of its own under the user's temporary folder, with a record: one
// line "SIZE TIME NAME" for each copy, its stamp as written. A copy whose stamp no longer
// matches was changed (a viewer saved notes into it) and is the user's from then on:
// nothing here deletes it, nor anything the record does not name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "container/extract.h"
#include "platform/file.h"

namespace reader::copies {

inline constexpr std::string_view kRecordName = "tarvello-copies.txt";

struct Copy {
  std::string name;  // in the folder
  platform::Stamp stamp;
};

std::string record_line(const Copy& copy);

// The copies a record names, once each with the stamp written last; lines that are not a
// record's, and names that are not a plain file's of the folder, are left out.
std::vector<Copy> read_record(std::string_view text);

// The record of `folder`, just made for copies, created new. Without it the folder is
// taken away again: no clean-up would ever touch a folder that has no record.
std::optional<platform::File> create_record(const std::string& folder, platform::Error& err);

// `entry` of `book` into `folder` under single_file_name(), or with " (2)", " (3)"…
// before ".pdf" when that name is taken; made read-only and noted in `record`, which is
// open at its end. `written` says its name and stamp.
container::ExtractFailure write_copy(platform::File& book, const container::IndexEntry& entry,
                                     const std::string& folder, platform::File& record,
                                     Copy& written);

// Removes what a reader left in `folder`: each copy of its record that is unchanged and
// that no program holds open, then the record and the folder once nothing else is in it.
// A folder without a record, or whose record is held open (a reader on Windows still
// runs), or was last written at `written_before` or later, is left alone. True when the
// folder is gone.
bool clean_folder(const std::string& folder,
                  std::optional<std::int64_t> written_before = std::nullopt);

// clean_folder() for every folder of this user's in `base` whose name starts with
// `prefix`.
void clean_all(const std::string& base, std::string_view prefix,
               std::optional<std::int64_t> written_before = std::nullopt);

}  // namespace reader::copies
