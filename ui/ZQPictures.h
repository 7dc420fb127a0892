// The entry dialog's three pictures, drawn in code: "DT_DEFAULT" (an information mark),
// "DT_LOCK" (a padlock, for masked entry) and "DT_NOENTRY" (a no-entry sign).
#pragma once

#include <QPixmap>
#include <QString>

constexpr int kZQPictureSize = 32;

// The picture of that name, kZQPictureSize pixels square; a null pixmap for any other name.
QPixmap ZQPicture(const QString& name);
