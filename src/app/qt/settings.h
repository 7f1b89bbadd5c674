// What the Linux window remembers between runs, in QSettings under Tarvello/tarvello-qt
// (~/.config/Tarvello/tarvello-qt.conf): where the books go ("folder", a path) and whose
// readers they are for ("readers": "windows" or "linux").
#pragma once

#include "app/commands.h"

namespace tarvello_qt {

// The remembered folder and readers into `state`, whose folders are set; what is missing
// or no longer usable gives way to the first-time choice, without a word.
void recall_settings(app::WindowState& state);

// Writes down at once what `changes` says the user changed: the process may end without
// another chance.
void remember_settings(const app::WindowState& state, const app::Changes& changes);

}  // namespace tarvello_qt
