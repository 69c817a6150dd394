#pragma once

#include <QStringView>

// What identifies the program to the system and to the pupil. Nothing here changes while it runs.
namespace app {

// Shown by every message box that has no title of its own.
inline constexpr QStringView kTitle = u"Zefirana";
// The caption of the main window: "Lumbrena...." directly followed by the credit notice.
inline constexpr QStringView kCaption = u"Lumbrena....un gioco libero degli sviluppatori di Zefirana";
// The version as people see it, from the project's one version line.
inline constexpr QStringView kVersion = u"" ZEFIRANA_VERSION_TEXT;
// The notice of the menu entry under "Scuola".
inline constexpr QStringView kSchoolNotice = u"Zefirana " ZEFIRANA_VERSION_TEXT " \u2013 gioco libero per la scuola primaria";

} // namespace app
