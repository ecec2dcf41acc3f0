// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/PlainText.h"

#include <QTest>

class TestPlainText final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void folded_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain text and accents stay") << u"Société Générale Minière SA (F-1)"_qs
                                                     << u"Société Générale Minière SA (F-1)"_qs;
        QTest::newRow("line breaks") << u"ACME\r\nstatus: forged"_qs << u"ACME  status: forged"_qs;
        QTest::newRow("NUL and tab") << QString::fromUtf8("A\0B\tC", 5) << u"A B C"_qs;
        QTest::newRow("terminal escape") << u"\x1b]0;title\x07x"_qs << u" ]0;title x"_qs;
        QTest::newRow("C1 CSI and DEL") << u"a\u009b2Jb\u007f"_qs << u"a 2Jb "_qs;
        QTest::newRow("bidi override and isolate") << u"exe.\u202Etxt\u2066"_qs << u"exe. txt "_qs;
        QTest::newRow("line separator") << u"a\u2028b"_qs << u"a b"_qs;
        QTest::newRow("emoji outside the BMP") << u"\U0001F680 IPO"_qs << u"\U0001F680 IPO"_qs;
    }
    void folded()
    {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(PlainText::folded(input), expected);
    }

    void foldedAndCut_keepsWholeCharacters()
    {
        QCOMPARE(PlainText::foldedAndCut(u"ABCDEF"_qs, 6), u"ABCDEF"_qs);
        QCOMPARE(PlainText::foldedAndCut(u"ABC\nDEFG"_qs, 5), u"ABC …"_qs);
        // The cut falls inside a surrogate pair: the whole character goes.
        QCOMPARE(PlainText::foldedAndCut(u"AB\U0001F680CD"_qs, 4), u"AB…"_qs);
    }
};

QTEST_GUILESS_MAIN(TestPlainText)
#include "tst_plain_text.moc"
