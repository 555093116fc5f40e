#include "widgets/window_frame.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWidget>

namespace vortan {
namespace {

// The 64-unit drawing of cmake/vortan-transform.svg at size pixels.
QPixmap IconPixmap(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);
  p.setPen(QPen(QColor(0x90, 0x50, 0x20), 2));
  p.setBrush(QColor(0xFF, 0xF0, 0xDC));
  p.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);
  p.setPen(QPen(QColor(0xC0, 0x90, 0x70), 1));
  for (double k : {17.0, 32.0, 47.0}) {
    p.drawLine(QPointF(2, k), QPointF(62, k));
    p.drawLine(QPointF(k, 2), QPointF(k, 62));
  }
  const QColor blue(0x20, 0x50, 0x90);
  p.setPen(QPen(blue, 2.5));
  p.setBrush(QColor(0xDD, 0xEE, 0xFF));
  p.drawEllipse(QPointF(28, 36), 20, 20);
  p.setPen(QPen(blue, 1.2));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(28, 36), 8, 20);
  p.drawLine(QPointF(9, 29), QPointF(47, 29));
  p.drawLine(QPointF(9, 43), QPointF(47, 43));
  const QColor red(0xC0, 0x20, 0x20);
  p.setPen(QPen(red, 3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(40, 24), QPointF(56, 8));
  QPainterPath head;
  head.moveTo(58, 6);
  head.lineTo(47, 9);
  head.lineTo(55, 17);
  head.closeSubpath();
  p.fillPath(head, red);
  return pixmap;
}

}  // namespace

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(IconPixmap(size));
  return icon;
}

QScrollArea* PutInScrollArea(QWidget* window, QWidget* form) {
  window->setWindowIcon(ProgramIcon());
  auto* area = new QScrollArea(window);
  area->setObjectName(QStringLiteral("FormScrollArea"));
  area->setFrameShape(QFrame::NoFrame);
  area->setWidgetResizable(true);
  area->setWidget(form);
  auto* layout = new QVBoxLayout(window);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(area);
  return area;
}

QSize NaturalWindowSize(const QScrollArea* area) {
  const QWidget* form = area->widget();
  const QSize frame(2 * area->frameWidth(), 2 * area->frameWidth());
  return form->sizeHint().expandedTo(form->minimumSizeHint()) + frame;
}

void FitToScreen(QWidget* window, const QScrollArea* area) {
  QSize size = NaturalWindowSize(area);
  if (const QScreen* screen = window->screen()) {
    // Room for the window manager's frame and title bar.
    const QSize room = screen->availableGeometry().size() - QSize(16, 48);
    if (size.width() > room.width()) {
      size.setHeight(size.height() + area->horizontalScrollBar()->sizeHint().height());
    }
    if (size.height() > room.height()) {
      size.setWidth(size.width() + area->verticalScrollBar()->sizeHint().width());
    }
    size = size.boundedTo(room);
  }
  window->resize(size);
}

void KeepLegibleWhenDisabled(QWidget* box) {
  QPalette legible = box->palette();
  legible.setColor(QPalette::Disabled, QPalette::Text, QColor(0x45, 0x45, 0x45));
  box->setPalette(legible);
}

void ShowAsWarning(QLabel* label) {
  QPalette red = label->palette();
  red.setColor(QPalette::WindowText, QColor(0xC0, 0x00, 0x00));
  label->setPalette(red);
  QFont bold = label->font();
  bold.setBold(true);
  label->setFont(bold);
}

}  // namespace vortan
