// Mapping tables: the table bytes of the example image replaced by the input (from the
// table's pointer on), then read, printed, loaded and stored again; and the table commands
// of the text form ("ADD:..." and friends) when the input starts with '!'.
#include "Binding.h"

#include "model/ProfilMapItem.h"

TORVANE_FUZZ_INIT

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QByteArray image = fuzz::readData(QStringLiteral("examples/gw210.gwc"));
    TBaseEEROM eerom;
    if (!fuzz::bind(eerom, fuzz::exampleDescription(), image))
        return 0;
    QList<TItem *> tables;
    for (int i = 0; i < eerom.ItemList.Count(); ++i)
        if (dynamic_cast<TProfilMapItem *>(eerom.ItemList[i]))
            tables.append(eerom.ItemList[i]);
    if (tables.isEmpty())
        return 0;
    if (size > 0 && data[0] == '!') {
        const QStringList commands = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1))
                                         .split(u'\n');
        for (const QString &command : commands.mid(0, 16)) {
            try {
                tables.first()->SetText(command);
            } catch (const TorvaneError &) {
            }
        }
    } else {
        // The bytes after the five header bytes, as far as the image goes.
        const QByteArray input = fuzz::bytes(data, size).left(eerom.UseSize() - 5);
        eerom.WriteAt(5, input);
        for (TItem *table : tables) {
            for (const char *command : {"LOAD", "STORE"}) {
                try {
                    table->SetText(QString::fromLatin1(command));
                } catch (const TorvaneError &) {
                }
            }
        }
    }
    fuzz::readAll(eerom);
    return 0;
}
