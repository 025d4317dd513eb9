#pragma once

#include "model/Item.h"
#include "model/Mapping.h"
#include "model/ProfilMapTool.h"

#include <memory>

// The mapping-table parameter: its two bytes at Position hold, big-endian, the offset S of
// a chain of typed records ended by 0xFF, the last part of the configuration. The table is
// read into FMapping (edit, print, "LOAD") and written back only by MapListToEEROM (the
// editor's OK, "STORE").
//
// Text commands (SetText): "LOAD", "STORE", "CLEAR", "ADD:type caption:v1,v2,...".
class TProfilMapItem : public TItem
{
public:
    // Offsets below this are the image header; a table there would overwrite it.
    static constexpr int kFirstListOffset = 5;
    static constexpr int kPointerBytes = 2; // the table's offset, big-endian, at Position

    TProfilMapItem(TItemlist *iParent, TIndexStream *m, const IniFile *FIniDatei, TFormat Frmt);
    ~TProfilMapItem() override;

    void SetText(const QString &NewValue) override;
    QString GetText() override;
    uint32_t GetIntegerValue() override;
    TVisualRule GetVisualRule() override;
    void Edit(const QPoint &EditPos) override;
    void Load() override;
    void DoPrint(PrintSink &RichEdit) override;
    QString ClassName() const override { return QStringLiteral("TProfilMapItem"); }

    // Reads the table from the image into FMapping. On failure the user is told why, the
    // table is left empty and false is returned; the image is never read outside its buffer.
    bool EEROMToMapList();
    // Writes FMapping into the image (creatable entries only) and sets UseSize to the end
    // of the table. Raises, with the image unchanged, when the table was not read completely
    // before, S is unusable, or the table would not fit into the image buffer.
    void MapListToEEROM();

    TMapping &Mapping() { return *FMapping; }
    // The program's profile reader, or (when the owner gave none) one of the parameter's
    // own bound to its description file.
    TProfilMapTool &ProfilMapTool();
    // True while FMapping holds the table as last read completely from the image.
    bool MapListRead() const { return FMapListRead; }

    std::unique_ptr<TMapping> FMapping;
    TProfilMapTool *FProfilMapTool = nullptr;

private:
    // The reason the table cannot be read, or an empty text after a complete read.
    QString ReadMapList();
    // Checks S for reading or storing; the reason when it is unusable.
    QString StartProblem(uint32_t S, const QString &operation) const;
    // The device code the image was bound with (header byte 1 and the extension bits).
    uint16_t DeviceCode() const;
    void Show(const QString &text) const;

    std::unique_ptr<TProfilMapTool> FOwnTool;
    bool FMapListRead = false;
};
