#include "widgets/logos.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace vortan {
namespace {

QPixmap Canvas(int size) {
  const qreal ratio = qApp != nullptr ? qApp->devicePixelRatio() : 1.0;
  QPixmap pixmap(QSize(size, size) * ratio);
  pixmap.setDevicePixelRatio(ratio);
  pixmap.fill(Qt::transparent);
  return pixmap;
}

}  // namespace

QPixmap GlobeLogo(int size) {
  QPixmap pixmap = Canvas(size);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF globe(size * 0.06, size * 0.06, size * 0.88, size * 0.88);
  QRadialGradient sea(globe.center() - QPointF(size * 0.15, size * 0.15), size * 0.6);
  sea.setColorAt(0, QColor(0x9f, 0xd4, 0xff));
  sea.setColorAt(1, QColor(0x1f, 0x5f, 0xa8));
  p.setPen(QPen(QColor(0x10, 0x3a, 0x6b), size * 0.03));
  p.setBrush(sea);
  p.drawEllipse(globe);

  // Meridians as ellipses of shrinking width, parallels as chords.
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(255, 255, 255, 190), size * 0.018));
  for (qreal w : {0.30, 0.62}) {
    QRectF meridian = globe;
    meridian.setWidth(globe.width() * w);
    meridian.moveCenter(globe.center());
    p.drawEllipse(meridian);
  }
  p.drawLine(QPointF(globe.center().x(), globe.top()), QPointF(globe.center().x(), globe.bottom()));
  const qreal r = globe.width() / 2;
  for (qreal y : {-0.5, 0.0, 0.5}) {
    const qreal half = r * std::sqrt(1 - y * y);
    const qreal cy = globe.center().y() + y * r;
    p.drawLine(QPointF(globe.center().x() - half, cy), QPointF(globe.center().x() + half, cy));
  }
  return pixmap;
}

QPixmap SurveyLogo(int size) {
  QPixmap pixmap = Canvas(size);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;

  // Ground.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x6a, 0x9a, 0x3a));
  p.drawRoundedRect(QRectF(s * 0.05, s * 0.80, s * 0.90, s * 0.14), s * 0.04, s * 0.04);

  // Sight lines from the pillar to two distant points.
  p.setPen(QPen(QColor(0xc0, 0x30, 0x20), s * 0.025, Qt::DashLine));
  const QPointF top(s * 0.50, s * 0.30);
  const QPointF left(s * 0.10, s * 0.12), right(s * 0.90, s * 0.12);
  p.drawLine(top, left);
  p.drawLine(top, right);
  p.drawLine(left, right);

  // The pillar with its plate.
  p.setPen(QPen(QColor(0x40, 0x40, 0x40), s * 0.02));
  p.setBrush(QColor(0xe8, 0xe4, 0xd8));
  QPainterPath pillar;
  pillar.moveTo(s * 0.40, s * 0.82);
  pillar.lineTo(s * 0.44, s * 0.36);
  pillar.lineTo(s * 0.56, s * 0.36);
  pillar.lineTo(s * 0.60, s * 0.82);
  pillar.closeSubpath();
  p.drawPath(pillar);
  p.setBrush(QColor(0x1f, 0x5f, 0xa8));
  p.drawEllipse(top, s * 0.06, s * 0.06);
  return pixmap;
}

}  // namespace vortan
