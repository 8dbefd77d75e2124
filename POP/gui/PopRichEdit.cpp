#include "POP/gui/PopRichEdit.h"

#include <algorithm>
#include <memory>

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QPainter>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include "platform/Services.h"
#include "platform/SysUtils.h"
#include "platform/gui/QtImage.h"
#include "platform/gui/QtServices.h"

namespace {

int DocLength(QTextDocument* doc) {
  // The document's last position is the final paragraph separator, which is not text.
  return std::max(0, doc->characterCount() - 1);
}

TColor FormatColor(const QTextCharFormat& f) {
  if (!f.hasProperty(QTextFormat::ForegroundBrush)) return HTMLColorText;
  return QColorToTColor(f.foreground().color());
}

// Whether every character of [a, b) has `color`; paragraph separators do not count.
bool RangeIs(QTextDocument* doc, int a, int b, TColor color) {
  for (QTextBlock block = doc->findBlock(a); block.isValid() && block.position() < b; block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      QTextFragment f = it.fragment();
      int fa = f.position(), fb = fa + f.length();
      if (fb <= a) continue;
      if (fa >= b) break;
      if (FormatColor(f.charFormat()) != color) return false;
    }
  }
  return true;
}

void SetRange(QTextDocument* doc, int a, int b, TColor color) {
  QTextCursor cur(doc);
  cur.setPosition(a);
  cur.setPosition(b, QTextCursor::KeepAnchor);
  QTextCharFormat f;
  f.setForeground(TColorToQColor(color));
  cur.mergeCharFormat(f);
}

// One colouring pass over the text, from a restart point; stops at the first token behind
// the caret that already has its colour.
class THTMLColourPass {
 public:
  THTMLColourPass(QTextDocument* doc, const QString& text, int caret)
      : FDoc(doc), FText(text), FN(int(text.size())), FCaret(caret) {}

  void Run(int start, bool inAttribute) {
    int i = start;
    enum { sText, sAttribute, sAfter } state = inAttribute ? sAttribute : sText;
    while (!FStop) {
      if (state == sText) {
        int j = i;
        while (j < FN && FText[j] != '<') ++j;
        Colour(i, j, HTMLColorText);
        if (j >= FN || FStop) return;
        Colour(j, j + 1, HTMLColorBracket);
        int k = j + 1;
        while (k < FN && FText[k] != '>' && FText[k].unicode() > 32) ++k;
        Colour(j + 1, k, HTMLColorTagName);
        i = k;
        state = sAfter;
      } else if (state == sAttribute) {
        int j = i;
        while (j < FN && FText[j] != '=' && FText[j] != '>') ++j;
        Colour(i, j, HTMLColorAttribute);
        i = j;
        if (j < FN && FText[j] == '=') {
          int k = j + 1;
          while (k < FN && FText[k].unicode() >= 1 && FText[k].unicode() <= 32) ++k;
          Colour(j, k, HTMLColorEquals);
          int m = k;
          if (m < FN && FText[m] == '"') {
            ++m;
            while (m < FN && FText[m] != '"' && FText[m] != '>') ++m;
            if (m < FN && FText[m] == '"') ++m;
          } else {
            while (m < FN && FText[m] != '>' && FText[m].unicode() > 32) ++m;
          }
          Colour(k, m, HTMLColorValue);
          i = m;
        }
        state = sAfter;
      } else {
        if (i >= FN) return;
        if (FText[i] == '>') {
          Colour(i, i + 1, HTMLColorBracket);
          ++i;
          state = sText;
        } else {
          state = sAttribute;
        }
      }
    }
  }

 private:
  // Empty ranges colour nothing and never end the pass; black ones never end it either.
  void Colour(int a, int b, TColor color) {
    if (b <= a || FStop) return;
    bool right = RangeIs(FDoc, a, b, color);
    if (!right) SetRange(FDoc, a, b, color);
    if (right && color != HTMLColorText && a > FCaret) FStop = true;
  }

  QTextDocument* FDoc;
  const QString& FText;
  int FN;
  int FCaret;
  bool FStop = false;
};

void ColourAll(QTextEdit* richEdit) {
  QTextDocument* doc = richEdit->document();
  QSignalBlocker detach(richEdit);
  bool modified = doc->isModified();
  QString text = richEdit->toPlainText();
  // The caret behind the end: nothing stops the pass early.
  THTMLColourPass(doc, text, int(text.size())).Run(0, false);
  doc->setModified(modified);
}

QTextCursor Selection(QTextEdit* e) { return e->textCursor(); }

}  // namespace

TColor RichEditColorAt(QTextEdit* richEdit, int position) {
  QTextCursor cur(richEdit->document());
  cur.setPosition(std::clamp(position, 0, DocLength(richEdit->document())));
  return FormatColor(cur.charFormat());
}

bool RichEditRangeColor(QTextEdit* richEdit, int start, int length, TColor& color) {
  QTextDocument* doc = richEdit->document();
  int n = DocLength(doc);
  int a = std::clamp(start, 0, n), b = std::clamp(start + std::max(length, 0), a, n);
  if (a == b) {
    color = RichEditColorAt(richEdit, a);
    return true;
  }
  // The colour of the first character of the range decides what the rest must match.
  color = HTMLColorText;
  for (QTextBlock block = doc->findBlock(a); block.isValid(); block = block.next()) {
    bool found = false;
    for (auto it = block.begin(); !it.atEnd(); ++it)
      if (it.fragment().position() + it.fragment().length() > a) {
        color = FormatColor(it.fragment().charFormat());
        found = true;
        break;
      }
    if (found) break;
  }
  return RangeIs(doc, a, b, color);
}

void HTMLHilightChange(QTextEdit* richEdit) {
  if (!richEdit) return;
  QTextDocument* doc = richEdit->document();
  // The pass works on a cursor of its own, so the control's caret, selection and view stay
  // where they are; only the modified flag needs putting back.
  QSignalBlocker detach(richEdit);
  bool modified = doc->isModified();
  int caret = Selection(richEdit).selectionStart();
  QString text = richEdit->toPlainText();
  caret = std::clamp(caret, 0, int(text.size()));

  int start = 0;
  bool inAttribute = false;
  for (int p = caret - 1; p > 0; --p) {
    TColor c = RichEditColorAt(richEdit, p);
    if (c == HTMLColorText) {
      start = p;
      break;
    }
    if (c == HTMLColorAttribute) {
      start = p;
      inAttribute = true;
      break;
    }
  }
  // The colours join the edit that caused them, so one undo takes back both.
  QTextCursor block(doc);
  block.joinPreviousEditBlock();
  THTMLColourPass(doc, text, caret).Run(start, inAttribute);
  block.endEditBlock();
  doc->setModified(modified);
}

void HTMLHilightSetSelText(QTextEdit* richEdit, const std::string& text) {
  if (!richEdit) return;
  QTextCursor cur = richEdit->textCursor();
  int s = cur.selectionStart(), e;
  // One edit block, so that one undo takes back the insertion with its colours.
  cur.beginEditBlock();
  {
    QSignalBlocker detach(richEdit);
    cur.insertText(ToQString(text));
    e = cur.position();
    cur.setPosition(s);
    cur.setPosition(e, QTextCursor::KeepAnchor);
    richEdit->setTextCursor(cur);
  }
  TColor background = QColorToTColor(richEdit->palette().color(QPalette::Base));
  QTextCharFormat f;
  f.setForeground(TColorToQColor(background));
  cur.mergeCharFormat(f);
  // The change notification, raised when the block ends, runs the control's change handler.
  cur.endEditBlock();
  // A control without a colouring handler still ends up coloured.
  if (e > s) {
    bool uncoloured = false;
    QTextDocument* doc = richEdit->document();
    for (QTextBlock b = doc->findBlock(s); b.isValid() && b.position() < e && !uncoloured; b = b.next())
      for (auto it = b.begin(); !it.atEnd(); ++it) {
        QTextFragment fr = it.fragment();
        if (fr.position() + fr.length() <= s || fr.position() >= e) continue;
        if (FormatColor(fr.charFormat()) == background) {
          uncoloured = true;
          break;
        }
      }
    if (uncoloured) HTMLHilightChange(richEdit);
  }
  QSignalBlocker detach(richEdit);
  cur = richEdit->textCursor();
  cur.setPosition(e);
  richEdit->setTextCursor(cur);
}

int RichEditRowFromSelPos(QTextEdit* richEdit, int position) {
  QTextDocument* doc = richEdit->document();
  return doc->findBlock(std::clamp(position, 0, DocLength(doc))).blockNumber();
}

int RichEditSelPosFromRow(QTextEdit* richEdit, int row) {
  QTextBlock b = richEdit->document()->findBlockByNumber(row);
  return b.isValid() ? b.position() : -1;
}

int RichEditSelRow(QTextEdit* richEdit) {
  return RichEditRowFromSelPos(richEdit, Selection(richEdit).selectionStart());
}

int RichEditSelCol(QTextEdit* richEdit) {
  int pos = Selection(richEdit).selectionStart();
  return pos - richEdit->document()->findBlock(pos).position();
}

void RichEditSetSel(QTextEdit* richEdit, int start, int length) {
  int n = DocLength(richEdit->document());
  int a = std::clamp(start, 0, n), b = std::clamp(a + std::max(length, 0), a, n);
  QTextCursor cur = richEdit->textCursor();
  cur.setPosition(a);
  cur.setPosition(b, QTextCursor::KeepAnchor);
  richEdit->setTextCursor(cur);
}

std::string RichEditGetRTF(QTextEdit* richEdit) { return FromQString(richEdit->toHtml()); }

void RichEditSetRTF(QTextEdit* richEdit, const std::string& richText) {
  richEdit->setHtml(ToQString(richText));
}

void RichEditPaintTo(QTextEdit* richEdit, const TRect& r, TCanvas& canvas) {
  TBitmap* bitmap = canvas.Bitmap();
  if (!bitmap) return;
  TRect area{std::max(r.Left, 0), std::max(r.Top, 0), std::min(r.Right, bitmap->Width()),
             std::min(r.Bottom, bitmap->Height())};
  if (area.Left >= area.Right || area.Top >= area.Bottom) return;
  QImage image = BitmapToQImage(*bitmap, area);
  QImage before = image.copy();
  std::unique_ptr<QTextDocument> doc(richEdit->document()->clone());
  double scale = canvas.Font.PixelsPerInch / double(std::max(1, richEdit->logicalDpiX()));
  doc->setTextWidth((r.Right - r.Left) / scale);
  {
    QPainter p(&image);
    p.translate(r.Left - area.Left, r.Top - area.Top);
    p.scale(scale, scale);
    doc->drawContents(&p);
  }
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<uint32_t*>(bitmap->ScanLine(area.Top + y));
    if (bitmap->PixelFormat() != pf32bit) break;
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) != before.pixel(x, y)) row[area.Left + x] = image.pixel(x, y) & 0x00FFFFFF;
  }
}

bool RichEditSelectTag(QTextEdit* richEdit, char open, char close) {
  QString text = richEdit->toPlainText();
  int caret = Selection(richEdit).selectionStart();
  int a = caret - 1;
  while (a >= 0 && text[a] != QChar(open) && text[a] != QChar(close)) --a;
  if (a < 0 || text[a] != QChar(open)) return false;
  int b = caret;
  while (b < text.size() && text[b] != QChar(close) && text[b] != QChar(open)) ++b;
  if (b >= text.size() || text[b] != QChar(close)) return false;
  RichEditSetSel(richEdit, a, b + 1 - a);
  return true;
}

bool RichEditSelectHTMLTag(QTextEdit* richEdit) { return RichEditSelectTag(richEdit, '<', '>'); }

void HTMLHilightAutoIndent(QTextEdit* richEdit) {
  QTextBlock line = richEdit->document()->findBlock(Selection(richEdit).selectionStart());
  QTextBlock previous = line.previous();
  if (!previous.isValid()) return;
  QString text = previous.text();
  int n = 0;
  while (n < text.size() && (text[n] == ' ' || text[n] == '\t')) ++n;
  if (n) HTMLHilightSetSelText(richEdit, FromQString(text.left(n)));
}

void HTMLHilightPasteFromClipboard(QTextEdit* richEdit) {
  HTMLHilightSetSelText(richEdit, Services().ClipboardText());
}

void HTMLHilightInsertHTML(QTextEdit* richEdit, const std::string& html) {
  HTMLHilightSetSelText(richEdit, html);
}

void RichEditFormatBlock(QTextEdit* richEdit, int start, int length, TColor color, TFontStyles styles) {
  int n = DocLength(richEdit->document());
  int a = std::clamp(start, 0, n), b = std::clamp(a + std::max(length, 0), a, n);
  QTextCursor cur(richEdit->document());
  cur.setPosition(a);
  cur.setPosition(b, QTextCursor::KeepAnchor);
  QTextCharFormat f;
  f.setForeground(TColorToQColor(color));
  f.setFontWeight(styles & fsBold ? QFont::Bold : QFont::Normal);
  f.setFontItalic(styles & fsItalic);
  f.setFontUnderline(styles & fsUnderline);
  f.setFontStrikeOut(styles & fsStrikeOut);
  cur.mergeCharFormat(f);
}

void RichEditSetSelText(QTextEdit* richEdit, const std::string& text) {
  QTextCursor cur = richEdit->textCursor();
  cur.insertText(ToQString(text));
  richEdit->setTextCursor(cur);
}

void RichEditSetFont(QTextEdit* richEdit, const TFont& font) {
  QFont qf = QFontOfFont(font);
  richEdit->setFont(qf);
  richEdit->document()->setDefaultFont(qf);
  QTextCursor cur(richEdit->document());
  cur.select(QTextCursor::Document);
  QTextCharFormat f;
  f.setFont(qf);
  f.setForeground(TColorToQColor(font.Color));
  cur.mergeCharFormat(f);
}

void RichEditSetHilight(QTextEdit* richEdit, int start, int length, TColor color) {
  int n = DocLength(richEdit->document());
  int a = std::clamp(start, 0, n), b = std::clamp(a + std::max(length, 0), a, n);
  if (b > a) SetRange(richEdit->document(), a, b, color);
}

void RichEditHilightSetText(QTextEdit* richEdit, const std::string& text) {
  {
    QSignalBlocker detach(richEdit);
    richEdit->setPlainText(ToQString(text));
  }
  RichEditHilightRefresh(richEdit);
}

void RichEditHilightLoadFromFile(QTextEdit* richEdit, const std::string& fileName) {
  RichEditHilightSetText(richEdit, ReadFileBytes(fileName));
}

void RichEditHilightRefresh(QTextEdit* richEdit) {
  TFont font;
  font.Name = "Courier New";
  font.SetSize(10);
  font.Color = clBlack;
  QSignalBlocker detach(richEdit);
  bool modified = richEdit->document()->isModified();
  RichEditSetFont(richEdit, font);
  richEdit->document()->setModified(modified);
  RichEditHilightHTML(richEdit);
}

void RichEditHilightClear(QTextEdit* richEdit) { RichEditHilightSetText(richEdit, ""); }

void RichEditHilightPaste(QTextEdit* richEdit) {
  {
    QSignalBlocker detach(richEdit);
    RichEditSetSelText(richEdit, Services().ClipboardText());
  }
  RichEditHilightRefresh(richEdit);
}

void RichEditHilightHTML(QTextEdit* richEdit) { ColourAll(richEdit); }

void RichEditHilightCoolHTML(QTextEdit* richEdit) {
  ColourAll(richEdit);
  QSignalBlocker detach(richEdit);
  bool modified = richEdit->document()->isModified();
  QString text = richEdit->toPlainText();
  for (int a = text.indexOf("<a", 0, Qt::CaseInsensitive); a >= 0;) {
    int close = text.indexOf("</a>", a + 2, Qt::CaseInsensitive);
    int b = close < 0 ? int(text.size()) : close + 4;
    QTextCursor cur(richEdit->document());
    cur.setPosition(a);
    cur.setPosition(b, QTextCursor::KeepAnchor);
    QTextCharFormat f;
    f.setFontUnderline(true);
    cur.mergeCharFormat(f);
    a = close < 0 ? -1 : text.indexOf("<a", b, Qt::CaseInsensitive);
  }
  richEdit->document()->setModified(modified);
}

void RichEditHilightCPP(QTextEdit* richEdit, const std::vector<std::string>& keywords) {
  QSignalBlocker detach(richEdit);
  QTextDocument* doc = richEdit->document();
  bool modified = doc->isModified();
  QString text = richEdit->toPlainText();
  RichEditFormatBlock(richEdit, 0, int(text.size()), HTMLColorText, 0);
  auto isWord = [](QChar c) { return c.isLetterOrNumber() || c == '_'; };
  for (int i = 0; i < text.size();) {
    if (!isWord(text[i])) {
      ++i;
      continue;
    }
    int j = i;
    while (j < text.size() && isWord(text[j])) ++j;
    std::string word = FromQString(text.mid(i, j - i));
    for (const std::string& k : keywords)
      if (SameText(k, word)) {
        RichEditFormatBlock(richEdit, i, j - i, HTMLColorBracket, fsBold);
        break;
      }
    i = j;
  }
  doc->setModified(modified);
}
