// The part of the HTML encoders that reads a rich edit control: its document as HTML
// paragraphs of FONT runs.
#pragma once
#include <string>

class QTextEdit;

// Each paragraph of the control as HTMLEncodeParaAttributes writes it (alignment, left
// indent), each run of equal character attributes in it as HTMLEncodeTextAttributes writes
// it, the text made safe by HTMLEncodeText; paragraphs are separated by CR LF. Characters
// without a colour of their own are black; without a face or size, the document's default
// font gives them. Soft line breaks become <BR>; embedded objects are left out. An empty
// control gives the empty text.
std::string HTMLEncodeRichEdit(QTextEdit* richEdit);
