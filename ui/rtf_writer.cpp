#include "ui/rtf_writer.h"

#include <cstdint>

namespace rpq {

std::string RtfEscape(const QString& text) {
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    for (const QChar ch : text) {
        const char16_t unit = ch.unicode();
        switch (unit) {
            case u'\\':
                out += "\\\\";
                continue;
            case u'{':
                out += "\\{";
                continue;
            case u'}':
                out += "\\}";
                continue;
            case u'\t':
                out += "\\tab ";
                continue;
            default:
                break;
        }
        if (unit >= 0x20 && unit < 0x7F) {
            out += static_cast<char>(unit);
        } else {
            // \u takes a signed 16-bit value: units from 0x8000 are written below zero.
            out += "\\u" + std::to_string(static_cast<int16_t>(unit)) + "?";
        }
    }
    return out;
}

std::string RichTextDocument(const QStringList& lines, const QString& fontName, int pointSize) {
    std::string doc =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fnil\\fcharset0 ";
    doc += RtfEscape(fontName);
    doc += ";}}\r\n\\viewkind4\\uc1\\pard\\f0\\fs" + std::to_string(pointSize * 2) + " ";
    for (const QString& line : lines) {
        doc += RtfEscape(line);
        doc += "\\par\r\n";
    }
    doc += "}\r\n";
    return doc;
}

}  // namespace rpq
