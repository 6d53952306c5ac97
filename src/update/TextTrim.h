#pragma once
// The two trims release texts use: blanks only (spaces and tabs, keeping line
// breaks), and white space with line breaks.

#include <QString>

namespace vistrel::TextTrim {

bool isBlank(QChar c);
bool isLineBreak(QChar c);
QString blanks(const QString& text);
QString whitespaceAndLineBreaks(const QString& text);

}  // namespace vistrel::TextTrim
