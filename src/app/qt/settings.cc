#include "app/qt/settings.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include "builder/build.h"

namespace tarvello_qt {
namespace {

// Paths are file names' bytes, as QFile takes and gives them.
std::string bytes(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

// Each use opens its own QSettings on the one file.
constexpr const char* kOrganisation = "Tarvello";
constexpr const char* kApplication = "tarvello-qt";

}  // namespace

void recall_settings(app::WindowState& state) {
  const QSettings settings(kOrganisation, kApplication);
  const std::string first = app::first_out_dir(
      state, bytes(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)),
      bytes(QDir::homePath()));
  state.out_dir =
      app::remembered_out_dir(bytes(settings.value(QStringLiteral("folder")).toString()), first);
  state.readers =
      app::remembered_readers(settings.value(QStringLiteral("readers")).toString().toStdString());
}

void remember_settings(const app::WindowState& state, const app::Changes& changes) {
  if (!changes.out_dir && !changes.readers) return;
  QSettings settings(kOrganisation, kApplication);
  if (changes.out_dir)
    settings.setValue(QStringLiteral("folder"), QFile::decodeName(state.out_dir.c_str()));
  if (changes.readers) {
    const bool windows = state.readers == builder::System::windows;
    settings.setValue(QStringLiteral("readers"),
                      windows ? QStringLiteral("windows") : QStringLiteral("linux"));
  }
}

}  // namespace tarvello_qt
