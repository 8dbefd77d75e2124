// The main window's tool-bar pictures, painted here so that the program carries no picture
// files of others. Each is 16 x 16 at the screen's scale.
#include "app/Unitmain.h"

#include <QPainter>
#include <QPainterPath>

#include "app/Unitmain_p.h"

// --- Tool-bar pictures, drawn here so that the program carries no picture files of
// others. Each is 16 x 16 at the screen's scale.
namespace {

QIcon PaintedIcon(const std::function<void(QPainter&)>& draw) {
  QPixmap pm(32, 32);
  pm.fill(Qt::transparent);
  {
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(2, 2);
    draw(p);
  }
  pm.setDevicePixelRatio(2);
  return QIcon(pm);
}

}  // namespace

namespace ToolBarIcons {

QIcon LetterIcon(const char* letter, bool bold, bool italic, bool underline, bool strike) {
  return PaintedIcon([=](QPainter& p) {
    QFont f("DejaVu Serif");
    f.setPixelSize(13);
    f.setBold(bold);
    f.setItalic(italic);
    f.setUnderline(underline);
    f.setStrikeOut(strike);
    p.setFont(f);
    p.setPen(Qt::black);
    p.drawText(QRectF(0, 0, 16, 16), Qt::AlignCenter, letter);
  });
}

QIcon AlignIcon(int alignment) {
  return PaintedIcon([=](QPainter& p) {
    p.setPen(QPen(Qt::black, 1.4));
    const int widths[] = {12, 8, 12, 6};
    for (int i = 0; i < 4; ++i) {
      int w = widths[i];
      double x = alignment == 0 ? 2 : alignment == 1 ? 14 - w : 8 - w / 2.0;
      p.drawLine(QPointF(x, 3.5 + i * 3), QPointF(x + w, 3.5 + i * 3));
    }
  });
}

QIcon PageIcon(bool folded) {
  return PaintedIcon([=](QPainter& p) {
    QPainterPath path;
    path.moveTo(3.5, 1.5);
    path.lineTo(10, 1.5);
    path.lineTo(13.5, 5);
    path.lineTo(13.5, 14.5);
    path.lineTo(3.5, 14.5);
    path.closeSubpath();
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(Qt::white);
    p.drawPath(path);
    p.drawLine(QPointF(10, 1.5), QPointF(10, 5));
    p.drawLine(QPointF(10, 5), QPointF(13.5, 5));
    if (folded) {
      p.setPen(QPen(QColor(90, 120, 200), 1));
      for (int i = 0; i < 3; ++i) p.drawLine(QPointF(5.5, 8 + i * 2), QPointF(11.5, 8 + i * 2));
    }
  });
}

QIcon FolderIcon() {
  return PaintedIcon([](QPainter& p) {
    p.setPen(QPen(QColor(140, 100, 20), 1));
    p.setBrush(QColor(240, 200, 90));
    p.drawRect(QRectF(1.5, 4.5, 13, 9));
    p.drawRect(QRectF(1.5, 2.5, 5, 2));
  });
}

QIcon DiskIcon() {
  return PaintedIcon([](QPainter& p) {
    p.setPen(QPen(QColor(30, 40, 90), 1));
    p.setBrush(QColor(70, 90, 170));
    p.drawRect(QRectF(1.5, 1.5, 13, 13));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 1.5, 7, 5));
    p.setBrush(QColor(200, 200, 210));
    p.drawRect(QRectF(4.5, 9.5, 7, 5));
  });
}

QIcon GlobeIcon() {
  return PaintedIcon([](QPainter& p) {
    p.setPen(QPen(QColor(20, 80, 140), 1));
    p.setBrush(QColor(120, 180, 240));
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.drawEllipse(QRectF(5, 1.5, 6, 13));
    p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
  });
}

QIcon SwatchIcon(QColor c, bool letter) {
  return PaintedIcon([=](QPainter& p) {
    if (letter) {
      QFont f("DejaVu Sans");
      f.setPixelSize(11);
      f.setBold(true);
      p.setFont(f);
      p.setPen(Qt::black);
      p.drawText(QRectF(0, -1, 16, 12), Qt::AlignCenter, "A");
      p.fillRect(QRectF(2, 12, 12, 3), c);
    } else {
      p.setPen(QPen(Qt::black, 1));
      p.setBrush(c);
      p.drawRect(QRectF(2.5, 2.5, 11, 11));
    }
  });
}

QIcon ScissorsIcon() {
  return PaintedIcon([](QPainter& p) {
    p.setPen(QPen(Qt::black, 1.3));
    p.drawLine(QPointF(4, 2), QPointF(10.5, 10));
    p.drawLine(QPointF(12, 2), QPointF(5.5, 10));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(2, 10, 4, 4));
    p.drawEllipse(QRectF(10, 10, 4, 4));
  });
}

QIcon SheetsIcon(bool clipboard) {
  return PaintedIcon([=](QPainter& p) {
    p.setPen(QPen(QColor(60, 60, 60), 1));
    if (clipboard) {
      p.setBrush(QColor(190, 150, 90));
      p.drawRect(QRectF(2.5, 2.5, 10, 12));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(6.5, 6.5, 8, 8));
      p.setBrush(QColor(120, 120, 120));
      p.drawRect(QRectF(5.5, 1.5, 4, 2));
    } else {
      p.setBrush(Qt::white);
      p.drawRect(QRectF(1.5, 1.5, 8, 10));
      p.drawRect(QRectF(6.5, 4.5, 8, 10));
    }
  });
}

QIcon DeleteIcon() {
  return PaintedIcon([](QPainter& p) {
    p.setPen(QPen(QColor(190, 20, 20), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4, 4), QPointF(12, 12));
    p.drawLine(QPointF(12, 4), QPointF(4, 12));
  });
}

QIcon OrderIcon(bool front) {
  return PaintedIcon([=](QPainter& p) {
    QRectF back(1.5, 1.5, 9, 9), fore(5.5, 5.5, 9, 9);
    p.setPen(QPen(Qt::black, 1));
    auto draw = [&](const QRectF& r, QColor c) {
      p.setBrush(c);
      p.drawRect(r);
    };
    if (front) {
      draw(back, QColor(200, 200, 200));
      draw(fore, QColor(90, 140, 230));
    } else {
      draw(fore, QColor(200, 200, 200));
      draw(back, QColor(90, 140, 230));
    }
  });
}

QIcon FontIcon() {
  return PaintedIcon([](QPainter& p) {
    QFont f("DejaVu Serif");
    f.setPixelSize(12);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(20, 20, 120));
    p.drawText(QRectF(0, 0, 11, 14), Qt::AlignCenter, "A");
    f.setPixelSize(8);
    p.setFont(f);
    p.drawText(QRectF(8, 5, 8, 10), Qt::AlignCenter, "a");
  });
}

}  // namespace ToolBarIcons
