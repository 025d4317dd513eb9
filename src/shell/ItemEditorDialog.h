#pragma once

#include "model/ItemEditor.h"

#include <QDialog>
#include <QPoint>
#include <QString>

class LanguageSelect;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;
class QTableWidget;
class QToolButton;
class QWidget;

// The one modal editor of the parameters (mapping profiles have their own): one page per
// kind of format, text in and text out. It knows nothing about bytes; the parameter stores
// what it returns. Created once and reused: every call prepares its page afresh.
class TItemEditor : public QDialog, public ItemEditor
{
    Q_OBJECT
public:
    explicit TItemEditor(QWidget *parent = nullptr);
    ~TItemEditor() override;

    // The translation service; the flag wordings of the shared TBoolTool come from it too.
    void setLanguage(LanguageSelect *lang);
    LanguageSelect *languageService() const { return language; }

    // ItemEditor
    void SetTopLeft(const QPoint &pos) override;
    void SetTopLeftOnScreen(const QPoint &pos, ScreenBottom area, int margin) override;
    void SetSelectList(const QStringList &entries) override;
    void SetBoolPage(const QString &heading, const QString &trueCaption, const QString &falseCaption) override;
    QString Edit(TItem *Item, TFormat Format, const QString &StartValue) override;

    // Steps of Edit before the dialog is shown: caption, help context, page and selection.
    // Returns whether the format is edited here; the screenshot scenes show the prepared
    // dialog without running it modally.
    bool Prepare(TItem *Item, TFormat Format, const QString &StartValue);
    // The text the dialog returns on OK for the page prepared last.
    QString ResultText();
    // Why the parameter would refuse the text the page holds now; empty when it is acceptable.
    QString Refusal();
    // OK: closes only with a text the parameter accepts.
    void accept() override;
    // Translates the captions (done at every activation).
    void initCaptions();

    // The help context F1 opens (the parameter's HelpContextNumber).
    int helpContext() const { return FHelpContext; }

    // Hexadecimal stepper of the HexSheet.
    void StepUp();
    void StepDown();

    QString FStartValue;
    bool editable = true;
    // 64 bits, so that a hex long above 7FFFFFFF neither wraps nor steps past the range.
    qint64 minval = 0;
    qint64 maxval = 0;
    qint64 editval = 0;
    int Stellenzahl = 2;
    LanguageSelect *language = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void PreparePage(TFormat Format);
    void ShowPage(QWidget *page);
    void SetPageSize(int width, int height);
    void ApplyPageSize();
    void FillTable(TItem *Item);
    void ApplyPlacement();
    void KeepAboveWorkArea();
    void UpdatePasswordOK();
    void HTMLOpenBtnClick();
    void ShowHexValue();
    QString translate(const QString &key) const;

    TItem *FItem = nullptr;
    TFormat FFormat = fmByte;
    int FHelpContext = 0;
    QSize FPageSize;
    QPoint FPlacePos;
    bool FPlaceOnScreen = false;
    ScreenBottom FPlaceArea = ScreenBottom::WorkArea;
    int FPlaceMargin = 0;
    bool FPlacing = false;

    QStackedWidget *EditorPages = nullptr;
    QWidget *ListSheet = nullptr;
    QWidget *IntSheet = nullptr;
    QWidget *MaskSheet = nullptr;
    QWidget *HexSheet = nullptr;
    QWidget *AlphaSheet = nullptr;
    QWidget *BoolSheet = nullptr;
    QWidget *TableSheet = nullptr;
    QWidget *HTMLSource = nullptr;
    QWidget *PasswordSheet = nullptr;

    QListWidget *SelectList = nullptr;
    QLabel *lWert = nullptr;
    QSpinBox *sWert = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *MaskEdit1 = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QWidget *SpinButton1 = nullptr;
    QToolButton *SpinUp = nullptr;
    QToolButton *SpinDown = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *Edit2 = nullptr;
    QGroupBox *cSchalter = nullptr;
    QRadioButton *RB_OK = nullptr;
    QRadioButton *RB_NOT_OK = nullptr;
    QTableWidget *Table = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    QLineEdit *MaskEdit = nullptr;
    QLineEdit *SecureMaskEdit = nullptr;

    QPushButton *buttonOK = nullptr;
    QPushButton *buttonCancel = nullptr;
    QPushButton *buttonHelp = nullptr;
    QPushButton *HTMLOpenBtn = nullptr;
};

// The editor's masks in their description form ("99999999;1;": mask, keep literals, blank
// character) as QLineEdit input masks that accept and return the same texts.
QString InputMaskFromEditMask(const QString &editMask);
