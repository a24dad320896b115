// SPDX-FileCopyrightText: 2026 The Nimbrel developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "AddressText.h"

#include <QFont>
#include <QGuiApplication>
#include <QTest>
#include <QTextLayout>

using namespace Qt::StringLiterals;

namespace {

const QString kSentTo = u"✓ Verification code sent to "_s;

// The text as a person reads it: without the invisible joiners and isolates.
QString visible(QString text)
{
    for (const char16_t invisible : {u'\u2060', u'\u200B', u'\u2068', u'\u2069'})
        text.remove(QChar(invisible));
    return text.replace(QChar(0x00A0), u' ');
}

// The lines `text` wraps into, as the status line's Text lays it out.
QStringList wrapped(const QString &text, const QFont &font, qreal width, qreal *widest)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QStringList lines;
    *widest = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        *widest = std::max(*widest, line.naturalTextWidth());
        lines << visible(text.mid(line.textStart(), line.textLength()));
    }
    layout.endLayout();
    return lines;
}

} // namespace

// Addresses in status messages break only before "@" or ".", and are cut in
// the middle rather than take more than two lines.
class TestAddressText : public QObject
{
    Q_OBJECT

    QFont m_font;

private slots:
    void initTestCase() { m_font.setPixelSize(13); }

    void breaksOnlyBeforeAtOrDot_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("address");
        QTest::addColumn<qreal>("width");
        QTest::addColumn<bool>("cut");
        QTest::addColumn<int>("lines"); // the most the address may take
        const QString hyphens = u"first-name.last-name@sub-domain.example-company.co.uk"_s;
        QTest::newRow("short, one line") << kSentTo + u"a@b.c"_s << u"a@b.c"_s << 400.0 << false
                                         << AddressText::defaultAddressLines;
        QTest::newRow("hyphens, narrow")
            << kSentTo + hyphens << hyphens << 240.0 << false << AddressText::defaultAddressLines;
        QTest::newRow("hyphens, very narrow")
            << kSentTo + hyphens << hyphens << 140.0 << true << AddressText::defaultAddressLines;
        QTest::newRow("address mid-message")
            << u"✗ This code was sent to "_s + hyphens + u". Enter that address to verify it."_s
            << hyphens << 320.0 << false << AddressText::defaultAddressLines;
        QTest::newRow("hyphens, very narrow, as many lines as it takes")
            << kSentTo + hyphens << hyphens << 140.0 << false << 1000;
        const QString endless = u"x"_s.repeated(300) + u"@example.com"_s;
        QTest::newRow("no dot or @ for a long way")
            << kSentTo + endless << endless << 240.0 << true << AddressText::defaultAddressLines;
        const QString blanks =
            u"a b c d e f g h i j k l m n o p q r s t u v w x y z "_s.repeated(4);
        QTest::newRow("blanks never break")
            << kSentTo + blanks << blanks << 240.0 << true << AddressText::defaultAddressLines;
    }
    void breaksOnlyBeforeAtOrDot()
    {
        QFETCH(QString, message);
        QFETCH(QString, address);
        QFETCH(qreal, width);
        QFETCH(bool, cut);
        QFETCH(int, lines);
        const QString shown = AddressText::fit(message, address, m_font, width, lines);
        qreal widest = 0;
        const QStringList wrappedLines = wrapped(shown, m_font, width, &widest);
        QVERIFY2(widest <= width, qPrintable(wrappedLines.join(u'|')));

        const QString text = visible(shown);
        QCOMPARE(text.contains(u'…'), cut);
        const qsizetype at = message.indexOf(address);
        QVERIFY(text.startsWith(message.left(at)));
        QVERIFY(text.endsWith(message.mid(at + address.size())));
        const QString addressShown = text.mid(at, text.size() - (message.size() - address.size()));
        if (!cut)
            QCOMPARE(addressShown, address);
        else // the start and the end of the address stay
            QVERIFY2(address.startsWith(addressShown.section(u'…', 0, 0)) &&
                         address.endsWith(addressShown.section(u'…', 1)),
                     qPrintable(addressShown));

        // Where a line ends inside the address, the next starts with "@" or ".".
        qsizetype position = 0;
        int addressLines = 0;
        for (const QString &line : wrappedLines) {
            const qsizetype end = position + line.size();
            if (end > at && position < at + addressShown.size())
                ++addressLines;
            if (end > at && end < at + addressShown.size())
                QVERIFY2(text.at(end) == u'@' || text.at(end) == u'.',
                         qPrintable(wrappedLines.join(u'|')));
            position = end;
        }
        QVERIFY2(addressLines <= lines, qPrintable(wrappedLines.join(u'|')));
    }

    // Cuts fall between letters as people see them, and the address's own
    // writing direction stays inside it.
    void cutsKeepLettersWhole()
    {
        const QString letter = u"e\u0301"_s, face = u"👩🏽‍💻"_s;
        const QString address = (letter + face).repeated(60) + u"@example.com"_s;
        const QString shown = visible(AddressText::fit(kSentTo + address, address, m_font, 200));
        QVERIFY(shown.contains(u'…'));
        const QString head = shown.mid(kSentTo.size()).section(u'…', 0, 0);
        QVERIFY(!head.isEmpty());
        QCOMPARE(head.size() % (letter + face).size() == 0 ||
                     (head.size() - letter.size()) % (letter + face).size() == 0,
                 true);

        const QString overriding = u"\u202Eevil@example.com"_s;
        const QString isolated = AddressText::fit(kSentTo + overriding, overriding, m_font, 400);
        QVERIFY(isolated.indexOf(u'\u2068') < isolated.indexOf(u'\u202E'));
        QVERIFY(isolated.endsWith(u'\u2069'));
    }

    void otherMessagesStayAsTheyAre_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("address");
        QTest::newRow("no address yet") << u"✗ Failed to send email: refused"_s << QString();
        QTest::newRow("address not named") << u"✗ Incorrect code. Try again."_s << u"a@b.c"_s;
    }
    void otherMessagesStayAsTheyAre()
    {
        QFETCH(QString, message);
        QFETCH(QString, address);
        QCOMPARE(AddressText::fit(message, address, m_font, 240), message);
    }
};

QTEST_MAIN(TestAddressText)
#include "tst_addresstext.moc"
