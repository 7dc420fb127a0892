#include "ProgramIcon.h"

QIcon ProgramIcon() {
  QIcon icon;
  // Drawn sizes rather than one scaled picture: the pins stay sharp at 16 and 24 pixels.
  for (const int size : {16, 24, 32, 48, 64, 128, 256})
    icon.addFile(QString(":/icons/selkietest-%1.png").arg(size), QSize(size, size));
  return icon;
}
