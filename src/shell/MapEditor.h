#pragma once

// The mapping editor: the table of a mapping parameter as a tree of entries grouped by class,
// a grid of the selected entry's values with range checking, and an overview of every
// fieldbus byte with what is mapped onto it. It works on the table it is given; the parameter
// writes the table into the image only when the editor closes with OK.

#include "model/MappingEditor.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>

class LanguageSelect;
class QComboBox;
class QLabel;
class QMenu;
class QAction;
class QPushButton;
class QTableWidget;
class QTreeWidget;
class QTreeWidgetItem;
class TGWMainForm;
class TMapItem;
class TMapValue;
class TMapping;
class TObject;
class TProfilMapTool;
class TSelectStringGrid;

class TProfilMapEditor : public QDialog, public MappingEditor
{
    Q_OBJECT
public:
    // Overview layout: two header rows, then one row per fieldbus byte.
    static constexpr int kHeaderRows = 2;
    static constexpr int kBusBytes = 244;
    static constexpr int kOverviewRows = kHeaderRows + kBusBytes;
    // Value grid: values start at this row.
    static constexpr int kFirstValueRow = 3;

    explicit TProfilMapEditor(QWidget *parent = nullptr);
    ~TProfilMapEditor() override;

    void setLanguage(LanguageSelect *lang) { language = lang; }

    // MappingEditor: fills the editor from the table and runs it modally; true for OK.
    bool Edit(TMapping &Mapping, TProfilMapTool &Tool) override;
    // Steps of Edit before the window shows (the gallery shows the filled window without
    // running it modally).
    void Prepare(TMapping &Mapping, TProfilMapTool &Tool);
    // Not to be used: the editor must be filled by Edit first. Tells so and answers Cancel.
    int ShowModal();
    int exec() override;

    // --- handlers with the window design's names (public so tests drive them) -------------------
    void FormShow();
    void FormResize();
    void TreeView1Change(QTreeWidgetItem *Node);
    void TreeView1KeyDown(int key);
    void SGSelectCell(int ACol, int ARow);
    void SGSetEditText(int ACol, int ARow, const QString &Value);
    void outgidClick();
    void outgidSelectCell(int ACol, int ARow);
    void ComboBox1Exit();
    void Button1Click();
    void delete1Click();
    void OnAddClicking(const QString &typeName);
    void OnRangeCheckFailure(TObject *Sender);
    void OnRangeOK(TObject *Sender);

    // --- internal steps -------------------------------------------------------------------------
    QTreeWidgetItem *FindClassNode(uint8_t classId);
    QTreeWidgetItem *AddItemNode(TMapItem *item);
    // Adds a new entry of the named type; nullptr (after telling the user) when the type is
    // unknown or cannot be stored.
    TMapItem *AddMapItem(const QString &typeName);
    void DeleteItemNode(QTreeWidgetItem *node);

    // --- what tests and the gallery look at -------------------------------------------------------
    QString Busname;
    QString Busbytename;
    QStringList directions;
    QStringList Guardbytes;
    QStringList Emergencybytes;
    bool edited = false;
    bool tabedited = false;
    bool comboexitedit = false;
    int outgidprofibusbyte = 0;
    int outgidcobid = 0;
    QString soutgidcobid;
    int outgidcobidbyte = 0;
    QString outgidguardmap;
    QString outgidemergencymap;
    QString direction;

    QTreeWidgetItem *ActualNode = nullptr;
    TMapping *mapping() const { return FMapping; }
    QString PanelText(int panel) const;
    // The entry of a tree node, or nullptr for the root and class nodes.
    static TMapItem *ItemOf(const QTreeWidgetItem *node);
    // The menu of the tree (New1 ... delete1).
    QMenu *popupMenu() const { return PopupMenu1; }

    // Bus name from a table caption: after its first "-" up to the next blank; empty without a
    // "-" or when a blank comes first.
    static QString BusnameOf(const QString &caption);

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString translate(const QString &key) const;
    void WriteOverviewHeaders();
    void ClearOverview();
    void AppendOverview(int row, int col, const QString &text);
    void SetOverview(int row, int col, const QString &text);
    QString OverviewText(int row, int col) const;
    // Values of the description section for name (text after the first "=" of each line).
    QStringList SectionValues(const QString &name, QString *lastKey = nullptr);
    void BuildNewMenu();
    void HideValueGrid();
    void SetValueCell(int row, const QString &text);
    QString ValueCellText(int row) const;
    QString ValueCaption(int row) const;
    TMapValue *ValueOfRow(int row) const;
    QTreeWidgetItem *LastNodeNamed(const QString &caption) const;
    void ForgetValueHandlers();
    void SetPanel(int panel, const QString &text);

    TMapping *FMapping = nullptr;
    TProfilMapTool *FTool = nullptr;
    LanguageSelect *language = nullptr;
    bool FInEdit = false;
    bool FComboExiting = false;
    int FComboRow = -1;
    int FOverviewRow = -1; // the overview cell current as the handlers saw it last
    int FOverviewCol = -1;
    int FComboCol = -1;

    QTreeWidget *TreeView1 = nullptr;
    TSelectStringGrid *SG = nullptr;
    QTableWidget *outgid = nullptr;
    QComboBox *ComboBox1 = nullptr;
    QPushButton *Button1 = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *BitBtn2 = nullptr;
    QPushButton *BitBtn3 = nullptr;
    QLabel *FPanels[3] = {};
    QMenu *PopupMenu1 = nullptr;
    QMenu *New1 = nullptr;
    QAction *delete1 = nullptr;
};

// Creates the program's mapping editor, owned by the main window, and makes it the editor the
// mapping parameters open; it stops being that editor when the window goes.
void installMapEditor(TGWMainForm &window);
