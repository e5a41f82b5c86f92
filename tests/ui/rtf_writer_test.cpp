// The Rich Text Format writer of the results pane: escaping and the document's frame.
#include <QTest>

#include "ui/rtf_writer.h"

class RtfWriterTest : public QObject {
    Q_OBJECT

  private slots:
    void escape_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("rtf");
        QTest::newRow("plain ASCII") << QStringLiteral("tree.tga decompressed sucessfully.")
                                     << QByteArray("tree.tga decompressed sucessfully.");
        QTest::newRow("backslash") << QStringLiteral("C:\\Out\\a") << QByteArray("C:\\\\Out\\\\a");
        QTest::newRow("braces") << QStringLiteral("{x}") << QByteArray("\\{x\\}");
        QTest::newRow("tab") << QStringLiteral("a\tb") << QByteArray("a\\tab b");
        QTest::newRow("Latin-1") << QStringLiteral("caf\u00e9") << QByteArray("caf\\u233?");
        QTest::newRow("below 0x8000") << QStringLiteral("\u20ac") << QByteArray("\\u8364?");
        QTest::newRow("0x8000 is negative") << QString(QChar(0x8000)) << QByteArray("\\u-32768?");
        QTest::newRow("fullwidth A") << QStringLiteral("\uff21") << QByteArray("\\u-223?");
        QTest::newRow("last unit") << QString(QChar(0xFFFF)) << QByteArray("\\u-1?");
        QTest::newRow("surrogate pair")
            << QString::fromUcs4(U"\U0001F600") << QByteArray("\\u-10179?\\u-8704?");
        QTest::newRow("control and DEL")
            << QStringLiteral("\x01\x7f") << QByteArray("\\u1?\\u127?");
        QTest::newRow("empty") << QString() << QByteArray();
    }

    void escape() {
        QFETCH(QString, text);
        QFETCH(QByteArray, rtf);
        QCOMPARE(QByteArray::fromStdString(rpq::RtfEscape(text)), rtf);
    }

    void documentFrame() {
        const std::string doc = rpq::RichTextDocument(
            {QStringLiteral("first {1}"), QString(), QStringLiteral(" second")},
            QStringLiteral("MS Sans Serif"), 8);
        QCOMPARE(QByteArray::fromStdString(doc),
                 QByteArray("{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fnil"
                            "\\fcharset0 MS Sans Serif;}}\r\n\\viewkind4\\uc1\\pard\\f0\\fs16 "
                            "first \\{1\\}\\par\r\n\\par\r\n second\\par\r\n}\r\n"));
    }

    void emptyDocumentHasNoParagraph() {
        const std::string doc = rpq::RichTextDocument({}, QStringLiteral("Arial"), 10);
        QCOMPARE(QByteArray::fromStdString(doc),
                 QByteArray("{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fnil"
                            "\\fcharset0 Arial;}}\r\n\\viewkind4\\uc1\\pard\\f0\\fs20 }\r\n"));
    }
};

QTEST_APPLESS_MAIN(RtfWriterTest)
#include "rtf_writer_test.moc"
