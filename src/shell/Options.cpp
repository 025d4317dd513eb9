#include "shell/Options.h"

#include "base/GeneralError.h"
#include "localisation/LanguageSelect.h"
#include "platform/RegistryStore.h"
#include "platform/UserPrompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// A stored list or grid larger than this is taken for a damaged store: reading it would only
// exhaust memory and freeze the dialog.
constexpr quint32 kMaxStoredItems = 100000;
constexpr quint32 kMaxGridRows = 100000;
constexpr quint32 kMaxGridCols = 1000;

QString itemName(const QString &name, int i)
{
    return name + QLatin1Char('(') + QString::number(i) + QLatin1Char(')');
}

QString cellName(const QString &name, int c, int r)
{
    return name + QLatin1Char('[') + QString::number(c) + QLatin1Char(':') + QString::number(r) + QLatin1Char(']');
}

// Typed reads of one value of a sheet. A value of another type than the control needs is a
// damaged store: the walk stops there and says which value it was.
struct SheetReader
{
    const RegistryStore &store;
    QString key;

    [[noreturn]] void wrongType(const QString &name, const char *wanted) const
    {
        throw TorvaneError(QStringLiteral("%1: value \"%2\" in [%3] is not %4")
                               .arg(store.filePath(), name, key, QString::fromLatin1(wanted)));
    }
    std::optional<QString> string(const QString &name) const
    {
        switch (store.valueType(key, name)) {
        case RegistryStore::ValueType::None:
            return std::nullopt;
        case RegistryStore::ValueType::String:
            return store.readString(key, name);
        default:
            wrongType(name, "a string");
        }
    }
    std::optional<quint32> dword(const QString &name) const
    {
        switch (store.valueType(key, name)) {
        case RegistryStore::ValueType::None:
            return std::nullopt;
        case RegistryStore::ValueType::DWord:
            return store.readDWord(key, name);
        default:
            wrongType(name, "a 32-bit number");
        }
    }
    quint32 count(const QString &name, quint32 limit) const
    {
        const quint32 n = dword(name).value_or(0);
        if (n > limit)
            throw TorvaneError(QStringLiteral("%1: value \"%2\" in [%3] counts %4 entries (at most %5)")
                                   .arg(store.filePath(), name, key).arg(n).arg(limit));
        return n;
    }
};

// Sets a radio button also when it is the checked one of an exclusive group (which Qt
// otherwise refuses to uncheck).
void setRadioChecked(QRadioButton *radio, bool checked)
{
    const bool exclusive = radio->autoExclusive();
    radio->setAutoExclusive(false);
    radio->setChecked(checked);
    radio->setAutoExclusive(exclusive);
}

QString comboEntryValue(const QComboBox *box, int i)
{
    const QVariant data = box->itemData(i);
    return data.typeId() == QMetaType::QString ? data.toString() : box->itemText(i);
}

QStringList memoLines(const QPlainTextEdit *memo)
{
    const QString text = memo->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

} // namespace

TOptions::TOptions(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TOptions"));
    setWindowTitle(QStringLiteral("Settings"));
    resize(557, 436);

    OptionPages = new QTabWidget(this);
    OptionPages->setObjectName(QStringLiteral("OptionPages"));
    OptionPages->setDocumentMode(true);

    auto *buttons = new QWidget(this);
    buttons->setObjectName(QStringLiteral("ButtonPanel"));
    buttons->setFixedWidth(90);
    OKBtn = new QPushButton(QStringLiteral("&OK"), buttons);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), buttons);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    auto *buttonLayout = new QVBoxLayout(buttons);
    // Narrow margins: translated captions ("Abbrechen") need the panel's whole width.
    buttonLayout->setContentsMargins(4, 6, 6, 6);
    buttonLayout->addWidget(OKBtn);
    buttonLayout->addWidget(CancelBtn);
    buttonLayout->addStretch();

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 4, 0, 4);
    layout->addWidget(OptionPages, 1);
    layout->addWidget(buttons);

    connect(OKBtn, &QPushButton::clicked, this, &TOptions::OKBtnClick);
    // Cancel and Escape (QDialog's own key handling) close without storing.
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(OptionPages, &QTabWidget::currentChanged, this, [this](int index) {
        if (isVisible() && index >= 0)
            emit pageShown(OptionPages->widget(index));
    });
}

TOptions::~TOptions() = default;

QString TOptions::text(const char *key) const
{
    const QString k = QString::fromLatin1(key);
    return language ? language->translate(k) : k;
}

void TOptions::RegisterSheet(QWidget *NewPage, const QString &newName)
{
    if (!NewPage)
        return;
    // A page lent by a window's own tab widget leaves it there first.
    if (auto *stack = NewPage->parentWidget()) {
        if (auto *tabs = qobject_cast<QTabWidget *>(stack->parentWidget()); tabs && tabs != OptionPages) {
            if (const int i = tabs->indexOf(NewPage); i >= 0)
                tabs->removeTab(i);
        }
    }
    if (!newName.isEmpty())
        NewPage->setObjectName(newName);
    const int index = OptionPages->indexOf(NewPage) >= 0 ? OptionPages->indexOf(NewPage)
                                                           : OptionPages->addTab(NewPage, NewPage->windowTitle());
    OptionPages->setTabVisible(index, true);
    // A sheet's tab follows the page's title (its owner translates it).
    connect(NewPage, &QWidget::windowTitleChanged, this, &TOptions::sheetTitleChanged, Qt::UniqueConnection);
    OptionPages->setCurrentIndex(index);
}

void TOptions::UnRegisterSheet(QWidget *NewPage, const QString &newName)
{
    const int index = NewPage ? OptionPages->indexOf(NewPage) : -1;
    if (index < 0)
        return;
    OptionPages->removeTab(index);
    disconnect(NewPage, &QWidget::windowTitleChanged, this, &TOptions::sheetTitleChanged);
    NewPage->hide();
    NewPage->setParent(nullptr);
    if (!newName.isEmpty())
        NewPage->setObjectName(newName);
    if (OptionPages->count() > 0)
        OptionPages->setCurrentIndex(0);
}

QList<QWidget *> TOptions::sheets() const
{
    QList<QWidget *> pages;
    for (int i = 0; i < OptionPages->count(); ++i)
        pages.append(OptionPages->widget(i));
    return pages;
}

QList<QWidget *> TOptions::sheetControls(const QWidget *page)
{
    QList<QWidget *> controls;
    if (!page)
        return controls;
    for (QObject *child : page->children())
        if (auto *w = qobject_cast<QWidget *>(child); w && !w->isWindow() && !w->objectName().isEmpty())
            controls.append(w);
    return controls;
}

QString TOptions::sheetKey(const QWidget *page) const
{
    return RegPath + FFieldBusName + QLatin1Char('\\') + page->objectName();
}

void TOptions::requireFieldBusName() const
{
    if (FFieldBusName.isEmpty())
        throw TorvaneError(text("exceptionOptionsNoFieldbusnameset"));
}

QString TOptions::comboText(const QComboBox *box)
{
    const int i = box->currentIndex();
    if (i >= 0 && box->currentText() == box->itemText(i))
        return comboEntryValue(box, i);
    if (box->isEditable())
        return box->currentText();
    return i >= 0 ? comboEntryValue(box, i) : box->placeholderText();
}

void TOptions::setComboText(QComboBox *box, const QString &text)
{
    int found = -1;
    for (int i = 0; i < box->count(); ++i)
        if (comboEntryValue(box, i) == text || box->itemText(i) == text)
            found = i; // the last equal entry stays selected
    if (found >= 0) {
        box->setCurrentIndex(found);
        return;
    }
    box->setCurrentIndex(-1);
    if (box->isEditable())
        box->setEditText(text);
    else
        box->setPlaceholderText(text); // a fixed list shows the text without an entry
}

void TOptions::readSheet(QWidget *page)
{
    const RegistryStore store = RegistryStore::user();
    const SheetReader reader{store, sheetKey(page)};
    for (QWidget *control : sheetControls(page)) {
        if (isExcludeControl(control))
            continue;
        const QString name = control->objectName();
        if (auto *combo = qobject_cast<QComboBox *>(control)) {
            setComboText(combo, reader.string(name).value_or(QString()));
        } else if (auto *edit = qobject_cast<QLineEdit *>(control)) {
            edit->setText(reader.string(name).value_or(QString()));
        } else if (auto *check = qobject_cast<QCheckBox *>(control)) {
            const RegistryStore::ValueType type = store.valueType(reader.key, name);
            if (type == RegistryStore::ValueType::String) {
                // The older layout kept check boxes as text; it is replaced, and the box starts
                // unchecked.
                RegistryStore writable = store;
                if (!writable.writeDWord(reader.key, name, 0))
                    throw TorvaneError(writable.lastError());
                check->setChecked(false);
            } else if (const std::optional<quint32> v = reader.dword(name)) {
                check->setChecked(*v != 0);
            }
        } else if (auto *radio = qobject_cast<QRadioButton *>(control)) {
            setRadioChecked(radio, reader.dword(name).value_or(0) != 0);
        } else if (auto *list = qobject_cast<QListWidget *>(control)) {
            list->clear();
            const quint32 n = reader.count(name, kMaxStoredItems);
            QStringList items;
            for (quint32 i = 0; i < n; ++i)
                items.append(reader.string(itemName(name, int(i))).value_or(QString()));
            list->addItems(items);
        } else if (auto *memo = qobject_cast<QPlainTextEdit *>(control)) {
            memo->clear();
            QStringList lines;
            try { // what cannot be read of a memo ends it, not the walk
                const quint32 n = reader.count(name, kMaxStoredItems);
                for (quint32 i = 0; i < n; ++i)
                    lines.append(reader.string(itemName(name, int(i))).value_or(QString()));
            } catch (const TorvaneError &) {
            }
            memo->setPlainText(lines.join(QLatin1Char('\n')));
        } else if (auto *grid = qobject_cast<QTableWidget *>(control)) {
            const std::optional<quint32> rowsValue = reader.dword(name + QStringLiteral("Rows"));
            const std::optional<quint32> colsValue = reader.dword(name + QStringLiteral("Cols"));
            // A grid never stored (a new sheet, a first start) keeps its designed cells; only a
            // grid with one of its two counts is a damaged store.
            if (!rowsValue && !colsValue)
                continue;
            if (!rowsValue || !colsValue)
                throw TorvaneError(QStringLiteral("%1: [%2] lacks the row or column count of \"%3\"")
                                       .arg(store.filePath(), reader.key, name));
            const auto rows = qint32(*rowsValue), cols = qint32(*colsValue);
            if (rows <= 0 || cols <= 0) {
                grid->setRowCount(2);
                grid->setColumnCount(2);
                continue;
            }
            if (quint32(rows) > kMaxGridRows || quint32(cols) > kMaxGridCols)
                throw TorvaneError(QStringLiteral("%1: grid \"%2\" in [%3] has %4 x %5 cells (at most %6 x %7)")
                                       .arg(store.filePath(), name, reader.key)
                                       .arg(rows).arg(cols).arg(kMaxGridRows).arg(kMaxGridCols));
            grid->setRowCount(rows);
            grid->setColumnCount(cols);
            for (int r = 1; r < rows; ++r)
                for (int c = 0; c < cols; ++c)
                    if (const std::optional<QString> cell = reader.string(cellName(name, c, r))) {
                        if (QTableWidgetItem *item = grid->item(r, c))
                            item->setText(*cell);
                        else
                            grid->setItem(r, c, new QTableWidgetItem(*cell));
                    }
        }
    }
}

void TOptions::Read()
{
    requireFieldBusName();
    UserPrompts &prompts = UserPrompts::instance();
    QString damaged;
    try {
        for (QWidget *page : sheets()) {
            RegistryStore store = RegistryStore::user();
            const QString key = sheetKey(page);
            if (!store.keyExists(key) && !store.createKey(key)) {
                prompts.showMessage(text("messageRegistryAccessError") + QStringLiteral("\n\n") + store.lastError(),
                                    QString(), PromptIcon::Warning);
                continue;
            }
            // A damaged store reads as what could be parsed; the user hears of it once.
            if (damaged.isEmpty() && !store.lastError().isEmpty())
                damaged = store.lastError();
            readSheet(page);
        }
    } catch (const TorvaneError &e) {
        damaged = e.message();
    }
    if (!damaged.isEmpty())
        prompts.showMessage(text("messageRegistryContinueDefaults") + QStringLiteral("\n\n") + damaged, QString(),
                            PromptIcon::Warning);
}

void TOptions::Store()
{
    requireFieldBusName();
    // One batch: every sheet is written under one lock and one replacement of the file, so a
    // second running copy storing at the same moment loses nothing, and a failure writes
    // nothing at all.
    RegistryStore::Batch batch;
    for (QWidget *page : sheets()) {
        const QString key = sheetKey(page);
        batch.createKey(key);
        for (QWidget *control : sheetControls(page)) {
            if (isExcludeControl(control))
                continue;
            const QString name = control->objectName();
            if (auto *combo = qobject_cast<QComboBox *>(control)) {
                batch.writeString(key, name, comboText(combo));
            } else if (auto *edit = qobject_cast<QLineEdit *>(control)) {
                batch.writeString(key, name, edit->text());
            } else if (auto *check = qobject_cast<QCheckBox *>(control)) {
                batch.writeDWord(key, name, check->isChecked() ? 1 : 0);
            } else if (auto *radio = qobject_cast<QRadioButton *>(control)) {
                batch.writeDWord(key, name, radio->isChecked() ? 1 : 0);
            } else if (auto *list = qobject_cast<QListWidget *>(control)) {
                batch.writeDWord(key, name, quint32(list->count()));
                for (int i = 0; i < list->count(); ++i)
                    batch.writeString(key, itemName(name, i), list->item(i)->text());
            } else if (auto *memo = qobject_cast<QPlainTextEdit *>(control)) {
                const QStringList lines = memoLines(memo);
                batch.writeDWord(key, name, quint32(lines.size()));
                for (int i = 0; i < lines.size(); ++i)
                    batch.writeString(key, itemName(name, i), lines[i]);
            } else if (auto *grid = qobject_cast<QTableWidget *>(control)) {
                batch.writeDWord(key, name + QStringLiteral("Rows"), quint32(grid->rowCount()));
                batch.writeDWord(key, name + QStringLiteral("Cols"), quint32(grid->columnCount()));
                for (int r = 1; r < grid->rowCount(); ++r)
                    for (int c = 0; c < grid->columnCount(); ++c) {
                        const QTableWidgetItem *item = grid->item(r, c);
                        batch.writeString(key, cellName(name, c, r), item ? item->text() : QString());
                    }
            }
        }
    }
    RegistryStore store = RegistryStore::user();
    if (!store.apply(batch))
        UserPrompts::instance().showMessage(text("messageRegistryCannotNotStore") + QStringLiteral("\n\n")
                                                + store.lastError(),
                                            QString(), PromptIcon::Warning);
    setResult(QDialog::Accepted);
}

bool TOptions::execute()
{
    // Read happens when the dialog is shown (showEvent), so the stored values are read once.
    return exec() == QDialog::Accepted;
}

int TOptions::ShowModal()
{
    return execute() ? mrOk : mrCancel;
}

void TOptions::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    translateCaptions();
    try {
        Read();
    } catch (const TorvaneError &e) {
        UserPrompts::instance().showMessage(e.message(), QString(), PromptIcon::Warning);
    }
    if (QWidget *page = OptionPages->currentWidget())
        emit pageShown(page);
}

void TOptions::sheetTitleChanged(const QString &title)
{
    if (auto *page = qobject_cast<QWidget *>(sender()); page && OptionPages->indexOf(page) >= 0)
        OptionPages->setTabText(OptionPages->indexOf(page), title);
}

void TOptions::translateCaptions()
{
    setWindowTitle(text("optionsCaption"));
    OKBtn->setText(text("buttonOK"));
    CancelBtn->setText(text("buttonCancel"));
}

void TOptions::OKBtnClick()
{
    try {
        Store();
    } catch (const TorvaneError &e) {
        UserPrompts::instance().showMessage(e.message(), QString(), PromptIcon::Warning);
    }
    accept();
}

QWidget *TOptions::findControl(const QString &Key) const
{
    for (QWidget *page : sheets())
        for (QWidget *control : sheetControls(page))
            if (control->objectName().compare(Key, Qt::CaseInsensitive) == 0)
                return control;
    return nullptr;
}

QString TOptions::GetProp(const QString &Key)
{
    QWidget *control = findControl(Key);
    if (!control)
        throw TorvaneError(text("exceptionSettingsStringProp") + QLatin1Char(' ') + Key + QLatin1Char(' ')
                           + text("exceptionSettingsNotFound"));
    if (auto *combo = qobject_cast<QComboBox *>(control))
        return comboText(combo);
    if (auto *edit = qobject_cast<QLineEdit *>(control))
        return edit->text();
    if (auto *button = qobject_cast<QCheckBox *>(control))
        return button->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    if (auto *button = qobject_cast<QRadioButton *>(control))
        return button->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    return QString();
}

void TOptions::SetProp(const QString &Key, const QString &Value)
{
    QWidget *control = findControl(Key);
    if (!control)
        throw TorvaneError(text("exceptionSettingsStringProp") + QLatin1Char(' ') + Key + QLatin1Char(' ')
                           + text("exceptionSettingsNotFound"));
    if (auto *combo = qobject_cast<QComboBox *>(control))
        setComboText(combo, Value);
    else if (auto *edit = qobject_cast<QLineEdit *>(control))
        edit->setText(Value);
    else if (auto *check = qobject_cast<QCheckBox *>(control))
        check->setChecked(Value != QLatin1String("0"));
    else if (auto *radio = qobject_cast<QRadioButton *>(control))
        setRadioChecked(radio, Value != QLatin1String("0"));
    Store();
}

bool TOptions::GetBoolProp(const QString &Key)
{
    try {
        return GetProp(Key) != QLatin1String("0");
    } catch (const TorvaneError &) {
        return false;
    }
}

void TOptions::SetBoolProp(const QString &Key, bool Value)
{
    SetProp(Key, Value ? QStringLiteral("1") : QStringLiteral("0"));
}

quint32 TOptions::GetIntProp(const QString &Key)
{
    bool ok = false;
    quint32 value = 0;
    try {
        value = GetProp(Key).trimmed().toUInt(&ok, 10);
    } catch (const TorvaneError &) {
        ok = false;
    }
    if (!ok)
        throw TorvaneError(text("exceptionSettingsErrorReadingKey") + Key);
    return value;
}

void TOptions::SetIntProp(const QString &Key, quint32 Value)
{
    try {
        SetProp(Key, QString::number(Value));
    } catch (const TorvaneError &) {
        throw TorvaneError(text("exceptionSettingsErrorWritingKey") + Key);
    }
}

void TOptions::addExcludeControl(QWidget *control)
{
    if (control && !isExcludeControl(control))
        excludeControls.append(control);
}

bool TOptions::isExcludeControl(const QWidget *control) const
{
    for (const QPointer<QWidget> &c : excludeControls)
        if (c == control)
            return true;
    return false;
}
