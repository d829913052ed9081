#pragma once

#include <QString>

// setinfo.ini holds one line per value, so multi-line texts are stored escaped: a line break as the
// two characters \n (a lone carriage return as \r), a backslash as \\, and a quotation mark that
// opens the value as \" or \' (the reader would otherwise strip a pair of enclosing quotes).
// Any other backslash is kept as it stands, so values written before the escaping read unchanged.
QString escapeLineBreaks(const QString& text);
QString unescapeLineBreaks(const QString& stored);
