#pragma once

// Shared pieces of the generator tests: an image with parameters of chosen values, the
// English translation service, HEX files made by objcopy or by hand, and a recording view of
// the extension writer.
#include "ErrorOf.h"
#include "TestPaths.h"
#include "generators/ExtensionWriter.h"
#include "localisation/LanguageSelect.h"
#include "model/BaseEEROM.h"
#include "base/GeneralError.h"
#include "base/IniFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTest>

#include <functional>

// Device 0x1A ("001A") with text parameters and one number parameter.
struct TestImage {
    IniFile ini;
    TBaseEEROM img;

    explicit TestImage(const QString &extraLines = QString())
    {
        ini.parseText(QStringLiteral("[Names]\n0x1A=Dev\n[Devices]\n0x1A=0x10\n[Dev]\n"
                                     "Serial Number=16;12;1;;;8\n"
                                     "Device Type=24;12;1;;;8\n"
                                     "Zero=32;12;1;;;4\n"
                                     "Mixed=36;12;1;;;8\n"
                                     "Empty=44;12;1;;;4\n"
                                     "Twenty=48;12;1;;;4\n"
                                     "SixtyFour=52;12;1;;;4\n"
                                     "Hex=56;12;1;;;4\n"
                                     "Hundred=60;1;1\n")
                      + extraLines);
        img.SetSourceDatei(&ini);
        img.SetByteIDX(1, 0x1A);
        img.FUseSize = 256;
        img.laden();
        set(QStringLiteral("Serial Number"), QStringLiteral("1234567"));
        set(QStringLiteral("Device Type"), QStringLiteral("GW/A:1"));
        set(QStringLiteral("Zero"), QStringLiteral("0"));
        set(QStringLiteral("Mixed"), QStringLiteral("A1B2C3D4"));
        set(QStringLiteral("Twenty"), QStringLiteral("20"));
        set(QStringLiteral("SixtyFour"), QStringLiteral("64"));
        set(QStringLiteral("Hex"), QStringLiteral("$20"));
        set(QStringLiteral("Hundred"), QStringLiteral("100"));
    }
    void set(const QString &name, const QString &value)
    {
        QVERIFY2(img.EintragExistiert(name), qPrintable(name));
        img.SetParameter(name, value);
        QCOMPARE(img.GetParameter(name), value);
    }
};

// The English texts, whatever the locale of the machine.
inline void loadEnglish(LanguageSelect &language)
{
    language.setLangDir(TestPaths::dataFile(QStringLiteral("lang")));
    language.initLangs();
    language.readDefaultLang();
    QVERIFY(language.readFile(QStringLiteral("english")));
}


inline QString writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qWarning("cannot write %s", qPrintable(path));
    return path;
}

// Data bytes that differ from 0xFF and from each other's neighbours.
inline QByteArray pattern(int size, int seed = 7)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 37 + seed) % 251); // never 0xFF
    return b;
}

// The HEX file objcopy writes for data placed at address (it ends with a start-address and
// an end-of-file record).
inline QString objcopyHex(const QString &dir, const QString &name, const QByteArray &data, uint32_t address)
{
    const QString bin = QDir(dir).filePath(name + QStringLiteral(".bin"));
    writeBytes(bin, data);
    const QString hex = QDir(dir).filePath(name);
    const QString objcopy = QStandardPaths::findExecutable(QStringLiteral("objcopy"));
    if (objcopy.isEmpty()) {
        qWarning("objcopy not found");
        return {};
    }
    QProcess p;
    p.start(objcopy, {QStringLiteral("-I"), QStringLiteral("binary"), QStringLiteral("-O"), QStringLiteral("ihex"),
                      QStringLiteral("--change-addresses"), QStringLiteral("0x") + QString::number(address, 16), bin, hex});
    if (!p.waitForFinished(20000) || p.exitCode() != 0) {
        qWarning("objcopy failed: %s", p.readAllStandardError().constData());
        return {};
    }
    return hex;
}

// One record with a correct checksum, ":" count address type data checksum.
inline QByteArray hexRecord(uint16_t address, uint8_t type, const QByteArray &data)
{
    QByteArray record;
    record += char(data.size());
    record += char(address >> 8);
    record += char(address & 0xFF);
    record += char(type);
    record += data;
    uint8_t sum = 0;
    for (char c : record)
        sum = uint8_t(sum + uint8_t(c));
    record += char(uint8_t(0x100 - sum));
    return ':' + record.toHex().toUpper();
}

inline const QByteArray kEndRecord = ":00000001FF";

// Data as 16-byte data records from address on, and the end-of-file record.
inline QByteArray hexText(uint16_t address, const QByteArray &data)
{
    QByteArray text;
    for (qsizetype i = 0; i < data.size(); i += 16)
        text += hexRecord(uint16_t(address + i), 0, data.mid(i, 16)) + "\r\n";
    return text + kEndRecord + "\r\n";
}

// What the dialog would show.
struct RecordingView final : TExtensionView {
    QString label;
    QStringList lines;
    QList<bool> writeStates, closeStates;
    int closeRequests = 0;

    void SetFileLabel(const QString &text) override { label = text; }
    void AddProgressLine(const QString &line) override { lines << line; }
    void SetWriteEnabled(bool enabled) override { writeStates << enabled; }
    void SetCloseEnabled(bool enabled) override { closeStates << enabled; }
    void CloseRequested() override { ++closeRequests; }
    bool writeEnabled() const { return !writeStates.isEmpty() && writeStates.last(); }
};
