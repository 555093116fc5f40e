// What both kinds of window keep on any screen, through Qt Test: a window opens within its
// screen; at its form's natural size it needs no horizontal scroll bar; smaller it scrolls both
// ways without squeezing its boxes; wider it gives the room to them.
#pragma once

#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWidget>
#include <vector>

#include "widgets/window_frame.h"

namespace vortan::support {

// The window must be shown; `growing` are boxes that take a share of any extra width.
inline void VerifyFitsScrollsAndGrows(QWidget& window, QScrollArea* area,
                                      const std::vector<QLineEdit*>& growing,
                                      const char* which) {
  const QSize room = window.screen()->availableGeometry().size();
  QVERIFY2(window.width() <= room.width() && window.height() <= room.height(), which);
  QVERIFY2(window.minimumSizeHint().width() < 400, which);

  const QSize natural = NaturalWindowSize(area);
  window.resize(natural);
  QTest::qWait(20);
  QVERIFY2(!area->horizontalScrollBar()->isVisible(), which);
  std::vector<int> widths;
  for (const QLineEdit* box : growing) widths.push_back(box->width());

  window.resize(natural * 2 / 3);
  QTest::qWait(20);
  QVERIFY2(area->horizontalScrollBar()->isVisible(), which);
  QVERIFY2(area->verticalScrollBar()->isVisible(), which);
  QCOMPARE(growing.front()->width(), widths.front());  // scrolled, not squeezed

  window.resize(natural.width() + 300, natural.height());
  QTest::qWait(20);
  for (std::size_t i = 0; i < growing.size(); ++i) {
    QVERIFY2(growing[i]->width() > widths[i], which);
  }
}

}  // namespace vortan::support
