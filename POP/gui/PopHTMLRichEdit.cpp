#include "POP/gui/PopHTMLRichEdit.h"

#include <cmath>

#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

#include "POP/PopHTML.h"
#include "platform/gui/QtImage.h"
#include "platform/gui/QtServices.h"

namespace {

THTMLTextAttributes TextAttributes(const QTextCharFormat& f, const QFont& defaultFont) {
  THTMLTextAttributes a;
  a.Color = f.hasProperty(QTextFormat::ForegroundBrush) ? QColorToTColor(f.foreground().color()) : clBlack;
  QStringList families = f.fontFamilies().toStringList();
  a.Name = FromQString(families.isEmpty() ? defaultFont.family() : families.first());
  double points = f.fontPointSize();
  if (points <= 0) points = defaultFont.pointSizeF();
  // A default font given in pixels has no point size: 96 pixels make 72 points.
  if (points <= 0 && defaultFont.pixelSize() > 0) points = defaultFont.pixelSize() * 72.0 / 96.0;
  a.Size = points > 0 ? int32_t(std::lround(points)) : 10;
  a.Style = 0;
  if (f.fontWeight() >= QFont::Bold) a.Style |= fsBold;
  if (f.fontItalic()) a.Style |= fsItalic;
  if (f.fontUnderline()) a.Style |= fsUnderline;
  if (f.fontStrikeOut()) a.Style |= fsStrikeOut;
  return a;
}

THTMLParaAttributes ParaAttributes(const QTextBlockFormat& f, const QTextDocument& doc) {
  THTMLParaAttributes a;
  Qt::Alignment h = f.alignment() & Qt::AlignHorizontal_Mask;
  if (h & Qt::AlignHCenter) a.Alignment = taCenter;
  else if (h & Qt::AlignRight) a.Alignment = taRightJustify;
  a.LeftIndent = int32_t(std::lround(f.leftMargin() + f.indent() * doc.indentWidth()));
  return a;
}

}  // namespace

std::string HTMLEncodeRichEdit(QTextEdit* richEdit) {
  QTextDocument* doc = richEdit->document();
  if (doc->isEmpty()) return "";
  const QFont defaultFont = doc->defaultFont();
  std::string html;
  for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
    std::string runs;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      QTextFragment fragment = it.fragment();
      QString text = fragment.text();
      text.remove(QChar::ObjectReplacementCharacter);
      text.replace(QChar::LineSeparator, QChar('\n'));
      if (text.isEmpty()) continue;
      runs += HTMLEncodeTextAttributes(TextAttributes(fragment.charFormat(), defaultFont),
                                       HTMLEncodeText(FromQString(text)));
    }
    if (!html.empty()) html += "\r\n";
    html += HTMLEncodeParaAttributes(ParaAttributes(block.blockFormat(), *doc), runs);
  }
  return html;
}
