// The Rich Text Format document the results pane is saved as.
#pragma once

#include <string>

#include <QString>
#include <QStringList>

namespace rpq {

// `text` with the characters that RTF reserves escaped: '\', '{' and '}' get a backslash, a tab
// becomes \tab, and every other character outside printable ASCII becomes \uN? (N the UTF-16 code
// unit as a signed 16-bit number, '?' the stand-in for readers without Unicode).
std::string RtfEscape(const QString& text);

// A whole document: header, a font table holding `fontName`, then one paragraph per line, all in
// that font at `pointSize` points.
std::string RichTextDocument(const QStringList& lines, const QString& fontName, int pointSize);

}  // namespace rpq
