#include "platform/LocaleId.h"

#include <QtTest>

class TestLocaleId : public QObject
{
    Q_OBJECT
private slots:
    void fromPosixName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("id");
        QTest::newRow("de_DE.UTF-8") << "de_DE.UTF-8" << 1031;
        QTest::newRow("de_AT") << "de_AT" << 3079;
        QTest::newRow("de_CH with codeset and modifier") << "de_CH.ISO-8859-1@euro" << 2055;
        QTest::newRow("de_LU") << "de_LU.utf8" << 4103;
        QTest::newRow("en_US") << "en_US.UTF-8" << 1033;
        QTest::newRow("en_GB.utf8") << "en_GB.utf8" << 2057;
        QTest::newRow("fr_FR@euro") << "fr_FR@euro" << 1036;
        QTest::newRow("it_IT") << "it_IT" << 1040;
        QTest::newRow("es_ES (modern sort)") << "es_ES.UTF-8" << 3082;
        QTest::newRow("nl_NL") << "nl_NL" << 1043;
        QTest::newRow("pl_PL") << "pl_PL" << 1045;
        QTest::newRow("cs_CZ") << "cs_CZ" << 1029;
        QTest::newRow("pt_BR") << "pt_BR" << 1046;
        QTest::newRow("zh_TW") << "zh_TW.Big5" << 1028;
        QTest::newRow("letter case and dash") << "EN-gb" << 2057;
        QTest::newRow("bare de") << "de" << 1031;
        QTest::newRow("bare en") << "en.UTF-8" << 1033;
        QTest::newRow("bare pt") << "pt" << 2070;
        QTest::newRow("known language, other country") << "de_BE" << 1031;
        QTest::newRow("C") << "C" << 0;
        QTest::newRow("C.UTF-8") << "C.UTF-8" << 0;
        QTest::newRow("POSIX") << "POSIX" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("unknown language") << "xx_YY" << 0;
        QTest::newRow("malformed country") << "de_DEU" << 0;
        QTest::newRow("too many parts") << "de_DE_x" << 0;
        QTest::newRow("path-like garbage") << "../../de_DE" << 0;
    }
    void fromPosixName()
    {
        QFETCH(QString, name);
        QFETCH(int, id);
        QCOMPARE(localeIdFromPosixName(name), id);
    }

    void userDefault_data()
    {
        QTest::addColumn<QByteArray>("lcAll");
        QTest::addColumn<QByteArray>("lcMessages");
        QTest::addColumn<QByteArray>("lang");
        QTest::addColumn<int>("id");
        QTest::newRow("LANG only") << QByteArray() << QByteArray() << QByteArray("de_AT.UTF-8") << 3079;
        QTest::newRow("LC_MESSAGES before LANG") << QByteArray() << QByteArray("en_GB") << QByteArray("de_DE") << 2057;
        QTest::newRow("LC_ALL before all") << QByteArray("fr_FR") << QByteArray("en_GB") << QByteArray("de_DE") << 1036;
        QTest::newRow("LC_ALL=C wins") << QByteArray("C") << QByteArray() << QByteArray("de_DE") << 0;
        QTest::newRow("empty counts as unset") << QByteArray("") << QByteArray("") << QByteArray("it_IT") << 1040;
        QTest::newRow("nothing set") << QByteArray() << QByteArray() << QByteArray() << 0;
    }
    void userDefault()
    {
        QFETCH(QByteArray, lcAll);
        QFETCH(QByteArray, lcMessages);
        QFETCH(QByteArray, lang);
        QFETCH(int, id);
        const char *names[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
        const QByteArray values[] = {lcAll, lcMessages, lang};
        QByteArray saved[3];
        bool wasSet[3];
        for (int i = 0; i < 3; ++i) {
            wasSet[i] = qEnvironmentVariableIsSet(names[i]);
            saved[i] = qgetenv(names[i]);
            if (values[i].isNull())
                qunsetenv(names[i]);
            else
                qputenv(names[i], values[i]);
        }
        const int actual = userDefaultLocaleId();
        for (int i = 0; i < 3; ++i) {
            if (wasSet[i])
                qputenv(names[i], saved[i]);
            else
                qunsetenv(names[i]);
        }
        QCOMPARE(actual, id);
    }
};

QTEST_GUILESS_MAIN(TestLocaleId)
#include "TestLocaleId.moc"
