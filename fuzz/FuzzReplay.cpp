// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include <QDir>
#include <QFile>
#include <QTest>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// Runs one fuzz target over every file of its seed corpus, so that the ordinary test suite,
// built with any compiler, keeps checking the inputs that once broke something.
class FuzzReplay final : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void corpus_isNotEmpty() { QVERIFY(!corpusFiles().isEmpty()); }

    void corpusFile_keepsInvariants_data()
    {
        QTest::addColumn<QString>("path");
        for (const QFileInfo& file : corpusFiles())
            QTest::newRow(qPrintable(file.fileName())) << file.filePath();
    }
    void corpusFile_keepsInvariants()
    {
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.errorString()));
        const QByteArray bytes = file.readAll();
        QCOMPARE(LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                     static_cast<std::size_t>(bytes.size())),
            0);
    }

private:
    static QFileInfoList corpusFiles()
    {
        return QDir(QStringLiteral(FUZZ_CORPUS_DIR)).entryInfoList(QDir::Files, QDir::Name);
    }
};

QTEST_GUILESS_MAIN(FuzzReplay)
#include "FuzzReplay.moc"
