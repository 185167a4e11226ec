// The program's icon, drawn in code (the same figure as packaging/kestrel-diffuseur-secours.svg,
// which the desktop shows), so that the windows need no image plugin.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace ks::gui {

QPixmap ProgramPixmap(int size);
QIcon ProgramIcon();

}  // namespace ks::gui
