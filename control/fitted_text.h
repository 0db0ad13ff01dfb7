#pragma once

class QLabel;
class QString;

namespace VNOrvak
{

/// Sets a word-wrapped label's text in its parent's font, made smaller (down
/// to 6 points) when the text would not fit the label's fixed area, so that a
/// wide system font does not cut the last line off.
void setFittedText(QLabel *label, const QString &text);

} // namespace VNOrvak
