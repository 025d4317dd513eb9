#pragma once

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QString>

class LanguageSelect;
class QComboBox;
class QPushButton;
class QTabWidget;

// The settings dialog and the settings store in one. Other windows lend it their option pages
// ("sheets"): registering a sheet moves the page into the dialog. Every control placed directly
// on a registered sheet is a setting, stored under
//   "\SOFTWARE\Kellerbrand\" + FFieldBusName + "\" + <sheet's objectName>
// as one value named by the control's objectName (list boxes, memos and grids add item and
// cell values). Controls inside group boxes or panels on a sheet are not settings. A sheet's tab
// shows the page's window title.
//
// Programs read and write single settings through the controls by name (GetProp, SetProp and
// the typed variants), so the controls are the settings' in-memory form.
class TOptions : public QDialog
{
    Q_OBJECT
public:
    enum ModalResult { mrOk = 1, mrCancel = 2 };

    explicit TOptions(QWidget *parent = nullptr);
    ~TOptions() override;

    QString FFieldBusName;                                         // "Torvane" from start-up on
    QString RegPath = QStringLiteral("\\SOFTWARE\\Kellerbrand\\");
    LanguageSelect *language = nullptr;                            // not owned

    QTabWidget *OptionPages = nullptr;
    QPushButton *OKBtn = nullptr;
    QPushButton *CancelBtn = nullptr;

    // Moves the page into the dialog (renamed when newName is not empty) and makes it current.
    void RegisterSheet(QWidget *NewPage, const QString &newName = QString());
    // Takes the page out again (it becomes a hidden window without parent; the caller owns it).
    void UnRegisterSheet(QWidget *NewPage, const QString &newName = QString());
    QList<QWidget *> sheets() const;

    // Fill every registered, not excluded control from the store / write them all. Failures
    // are told to the user ("messageRegistryContinueDefaults", "messageRegistryAccessError",
    // "messageRegistryCannotNotStore"); what could not be read keeps its current value, and a
    // failed Store writes nothing. Read raises "exceptionOptionsNoFieldbusnameset" when the
    // program name is not set (Store too: it would write to the wrong place).
    void Read();
    void Store();
    // The key of one sheet in the store.
    QString sheetKey(const QWidget *page) const;

    // Read, show modally, return whether the user confirmed with OK.
    bool execute();
    // As execute, returning mrOk or mrCancel.
    int ShowModal();

    // Settings by control name (letter case ignored; first match in page and control order).
    QString GetProp(const QString &Key);
    void SetProp(const QString &Key, const QString &Value); // then Store
    bool GetBoolProp(const QString &Key);
    void SetBoolProp(const QString &Key, bool Value);
    quint32 GetIntProp(const QString &Key);
    void SetIntProp(const QString &Key, quint32 Value);
    quint32 GetRadioGroupProp(const QString &Key) { return GetIntProp(Key); }
    void SetRadioProp(const QString &Key, quint32 Value) { SetIntProp(Key, Value); }

    // Controls that Read and Store skip (a value given on the command line).
    void addExcludeControl(QWidget *control);
    bool isExcludeControl(const QWidget *control) const;

    // The control named Key on a registered sheet, or null.
    QWidget *findControl(const QString &Key) const;
    // The settings controls of one sheet, in order (the widgets placed directly on it).
    static QList<QWidget *> sheetControls(const QWidget *page);

    // A combo box's value: the entry's stored value when an entry is chosen (an entry may show
    // more than its value, see setComboEntries), else the text shown.
    static QString comboText(const QComboBox *box);
    // Shows text: selects the (last) entry with that value or that text; without one, no
    // entry is selected and the text is shown as it stands.
    static void setComboText(QComboBox *box, const QString &text);

    // Captions in the current language (also the sheets' tabs).
    void translateCaptions();

signals:
    // A sheet has become visible in the dialog (shown with it, or its tab was chosen); the
    // owners refresh what depends on the moment (the port list, the port's baud rate).
    void pageShown(QWidget *page);

protected:
    void showEvent(QShowEvent *event) override;

private:
    QString text(const char *key) const;
    void readSheet(QWidget *page);
    void requireFieldBusName() const;
    void OKBtnClick();
    void sheetTitleChanged(const QString &title);

    QList<QPointer<QWidget>> excludeControls;
};
