#include "ZQPictures.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr qreal kSize = kZQPictureSize;

void DrawInformation(QPainter& p) {
  p.setPen(QPen(QColor(0x1F, 0x4E, 0x9A), 1.5));
  p.setBrush(QColor(0x3A, 0x7B, 0xD5));
  p.drawEllipse(QRectF(1.5, 1.5, kSize - 3, kSize - 3));
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawEllipse(QRectF(13.5, 6.5, 5, 5));
  p.drawRoundedRect(QRectF(13.5, 13.5, 5, 12.5), 1.5, 1.5);
}

void DrawLock(QPainter& p) {
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0x70, 0x70, 0x78), 3.5, Qt::SolidLine, Qt::FlatCap));
  QPainterPath shackle;
  shackle.moveTo(9.5, 15);
  shackle.lineTo(9.5, 10);
  shackle.arcTo(QRectF(9.5, 3.5, 13, 13), 180, -180);
  shackle.lineTo(22.5, 15);
  p.drawPath(shackle);
  p.setPen(QPen(QColor(0x8A, 0x62, 0x0A), 1.5));
  p.setBrush(QColor(0xE8, 0xB4, 0x2A));
  p.drawRoundedRect(QRectF(5.5, 14.5, 21, 15), 2.5, 2.5);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x40, 0x2C, 0x05));
  p.drawEllipse(QRectF(13.5, 18, 5, 5));
  p.drawRect(QRectF(15, 21, 2, 5));
}

void DrawNoEntry(QPainter& p) {
  p.setPen(QPen(QColor(0x8C, 0x10, 0x10), 1.5));
  p.setBrush(QColor(0xD8, 0x22, 0x22));
  p.drawEllipse(QRectF(1.5, 1.5, kSize - 3, kSize - 3));
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawRect(QRectF(6.5, 13.5, kSize - 13, 5));
}

}  // namespace

QPixmap ZQPicture(const QString& name) {
  void (*draw)(QPainter&) = nullptr;
  if (name == QLatin1String("DT_DEFAULT"))
    draw = DrawInformation;
  else if (name == QLatin1String("DT_LOCK"))
    draw = DrawLock;
  else if (name == QLatin1String("DT_NOENTRY"))
    draw = DrawNoEntry;
  if (!draw) return {};

  QImage image(kZQPictureSize, kZQPictureSize, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  draw(painter);
  painter.end();
  return QPixmap::fromImage(image);
}
