#include "ErrorOf.h"
#include "base/GeneralError.h"
#include "model/IndexStream.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {
TIndexStream streamOf(const QByteArray &bytes)
{
    TIndexStream s;
    s.Assign(bytes);
    s.FUseSize = int32_t(bytes.size());
    return s;
}

} // namespace

class TestIndexStream : public QObject
{
    Q_OBJECT
private slots:
    void byteAccessBounds()
    {
        TIndexStream s(2);
        QCOMPARE(s.GetByteIDX(2), uint8_t(0)); // at the size: nothing there, reads 0
        QCOMPARE(errorOf([&] { s.GetByteIDX(3); }), QString("TIndexStream: GetByteIdx: Index>Size"));
        s.SetByteIDX(2, 0x7F); // at the size: appends
        QCOMPARE(s.Size(), qsizetype(3));
        QCOMPARE(s.GetByteIDX(2), uint8_t(0x7F));
        QCOMPARE(errorOf([&] { s.SetByteIDX(4, 1); }), QString("TIndexStream: SetByteIdx: Index > Size "));
        QCOMPARE(s.Size(), qsizetype(3));
    }

    void bits_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<uint>("from");
        QTest::addColumn<uint>("count");
        QTest::addColumn<uint>("expected");
        QTest::newRow("whole byte") << QByteArray("\xA5", 1) << 0u << 8u << 0xA5u;
        QTest::newRow("across bytes") << QByteArray("\xA5\x3C", 2) << 4u << 8u << 0x53u;
        QTest::newRow("single lsb") << QByteArray("\xA5", 1) << 7u << 1u << 1u;
        QTest::newRow("zero count") << QByteArray("\xFF", 1) << 3u << 0u << 0u;
        QTest::newRow("32 bits") << QByteArray("\x12\x34\x56\x78", 4) << 0u << 32u << 0x12345678u;
        QTest::newRow("32 bits offset") << QByteArray("\x01\x23\x45\x67\x89", 5) << 4u << 32u << 0x12345678u;
    }
    void bits()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(uint, from);
        QFETCH(uint, count);
        QFETCH(uint, expected);
        TIndexStream s = streamOf(bytes);
        QCOMPARE(s.BitsToValue(from, count), expected);

        // Writing the value back into a zeroed copy and reading it again is the identity,
        // and bits outside the field stay untouched.
        TIndexStream t = streamOf(QByteArray(bytes.size(), '\xFF'));
        t.ValueToBits(expected, from, count);
        QCOMPARE(t.BitsToValue(from, count), expected);
        for (uint bit = 0; bit < uint(bytes.size()) * 8; ++bit)
            if (bit < from || bit >= from + count)
                QCOMPARE(t.BitsToValue(bit, 1), 1u);
    }

    void valueToBitsExamples()
    {
        TIndexStream s = streamOf(QByteArray(2, '\0'));
        s.ValueToBits(5, 13, 3);
        QCOMPARE(s.Buffer(), QByteArray("\x00\x05", 2));
        TIndexStream all = streamOf(QByteArray(4, '\0'));
        all.ValueToBits(0xFFFFFFFFu, 0, 32);
        QCOMPARE(all.Buffer(), QByteArray(4, '\xFF'));
        TIndexStream masked = streamOf(QByteArray(1, '\0'));
        masked.ValueToBits(0xFF, 2, 3); // only the low three bits of the value are kept
        QCOMPARE(masked.Buffer(), QByteArray(1, '\x38'));
        QCOMPARE(errorOf([&] { s.BitsToValue(0, 33); }), QString("error, BitsToValue"));
    }

    void textForm()
    {
        TIndexStream s = streamOf(QByteArray("\x12\x34", 2));
        QCOMPARE(s.GetAsString(), QString("1234-0046"));
        TIndexStream e;
        QCOMPARE(e.GetAsString(), QString());
        TIndexStream big = streamOf(QByteArray(300, '\xFF'));
        QCOMPARE(big.GetAsString().section('-', 1), QString("12AD4")); // more than four digits
    }

    void textFormSize()
    {
        TIndexStream s(16384);
        s.FUseSize = 16383;
        QCOMPARE(s.GetAsString().size(), 16383 * 2 + 5);
        s.FUseSize = 16384;
        QCOMPARE(errorOf([&] { s.GetAsString(); }), QString("IDXSTREAM --> TIndexStream.GetAsString: Size Error 16384"));
    }

    void assignText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QByteArray>("after");
        const QByteArray before("\x00\x00", 2);
        const QByteArray stored("\x12\x34", 2);
        QTest::newRow("plain") << "1234-0046" << "" << stored;
        QTest::newRow("blanks and lower case") << "12 34 - 0046" << "" << stored;
        QTest::newRow("lower hex") << "ab01-00ac" << "" << QByteArray("\xAB\x01", 2);
        QTest::newRow("empty changes nothing") << "" << "" << before;
        QTest::newRow("short checksum") << "1234-46" << "checksum has wrong size" << before;
        QTest::newRow("bad sum") << "1235-0046" << "checksumme is invalid" << before;
        QTest::newRow("short data") << "123-0046" << "wrong number of characters in data string ( 3 instead of 4)" << before;
        QTest::newRow("no dash") << "12340046" << "wrong number of characters in data string ( -1 instead of 4)" << before;
        QTest::newRow("bad data char") << "12G4-0046" << "wrong character in data string" << before;
        QTest::newRow("bad checksum char") << "1234-00G6" << "checksum contains at least one wrong character" << before;
        QTest::newRow("five digit checksum") << "1234-00046" << "checksum has wrong size" << before;
    }
    void assignText()
    {
        QFETCH(QString, text);
        QFETCH(QString, error);
        QFETCH(QByteArray, after);
        TIndexStream s = streamOf(QByteArray(2, '\0'));
        QCOMPARE(errorOf([&] { s.SetAsString(text); }), error);
        QCOMPARE(s.Buffer(), after);
        QCOMPARE(s.FUseSize, 2);
    }

    void longTextRoundTripRejectsFiveDigitSum()
    {
        TIndexStream s = streamOf(QByteArray(300, '\xFF'));
        const QString text = s.GetAsString();
        QCOMPARE(errorOf([&] { s.SetAsString(text); }), QString("checksum has wrong size"));
    }

    void randomAssignmentsNeverPartiallyStore()
    {
        QRandomGenerator rng(20261210);
        const QString alphabet = QStringLiteral("0123456789ABCDEFabcdefg- xZ\u00e4");
        for (int round = 0; round < 2000; ++round) {
            QByteArray original(int(rng.bounded(1, 8)), Qt::Uninitialized);
            for (char &c : original)
                c = char(rng.bounded(256u));
            TIndexStream s = streamOf(original);
            QString text;
            if (rng.bounded(4u) == 0) {
                // a valid text with one random character changed
                QByteArray other(original.size(), Qt::Uninitialized);
                for (char &c : other)
                    c = char(rng.bounded(256u));
                text = streamOf(other).GetAsString();
                text[int(rng.bounded(quint32(text.size())))] = alphabet[int(rng.bounded(quint32(alphabet.size())))];
            } else {
                const int len = int(rng.bounded(30u));
                for (int i = 0; i < len; ++i)
                    text += alphabet[int(rng.bounded(quint32(alphabet.size())))];
            }
            const QString error = errorOf([&] { s.SetAsString(text); });
            if (!error.isEmpty()) {
                QCOMPARE(s.Buffer(), original);
            } else if (!text.isEmpty()) {
                // accepted: the stored bytes must produce a text with the same data digits
                QCOMPARE(s.GetAsString().left(original.size() * 2), StripTest(text).left(original.size() * 2));
            }
        }
    }

private:
    static QString StripTest(const QString &t) { return QString(t).remove(u' ').toUpper(); }
};

QTEST_GUILESS_MAIN(TestIndexStream)
#include "TestIndexStream.moc"
