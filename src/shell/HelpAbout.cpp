#include "shell/HelpAbout.h"

#include "localisation/LanguageSelect.h"
#include "platform/UserPrompts.h"
#include "shell/HelpViewer.h"

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QHBoxLayout>
#include <QHash>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBlockFormat>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QtGlobal>

#ifndef TORVANE_VERSION
#define TORVANE_VERSION "0.0.0"
#endif
#ifndef TORVANE_COMMIT
#define TORVANE_COMMIT "unknown"
#endif
#ifndef TORVANE_COMPILER
#define TORVANE_COMPILER "unknown compiler"
#endif

using HelpShared::translate;

namespace {

// The program's version strings: set by the build (project version, commit, compiler) in
// place of a version resource, so every front end reports the same version.
const QHash<QString, QString> &versionTable()
{
    static const QHash<QString, QString> table = [] {
        const QString version = QStringLiteral(TORVANE_VERSION);
        const QString commit = QStringLiteral(TORVANE_COMMIT);
        QHash<QString, QString> t;
        t.insert(QStringLiteral("ProductName"), QStringLiteral("Torvane"));
        t.insert(QStringLiteral("ProductVersion"), version + QStringLiteral(" (") + commit + u')');
        t.insert(QStringLiteral("FileVersion"), version);
        t.insert(QStringLiteral("FileDescription"), QStringLiteral("Torvane fieldbus gateway configuration"));
        t.insert(QStringLiteral("CompanyName"), QStringLiteral("Kellerbrand"));
        t.insert(QStringLiteral("InternalName"), QStringLiteral("torvane"));
        t.insert(QStringLiteral("OriginalFilename"), QStringLiteral("torvane"));
        t.insert(QStringLiteral("LegalCopyright"), QStringLiteral("Copyright \u00A9 Kellerbrand.\nAll rights reserved."));
        t.insert(QStringLiteral("LegalTrademarks"), QStringLiteral("All product names are trademarks of their owners."));
        t.insert(QStringLiteral("Comments"),
                 QStringLiteral("Commit %1, built with %2 and Qt %3 (running on Qt %4)")
                     .arg(commit, QStringLiteral(TORVANE_COMPILER), QStringLiteral(QT_VERSION_STR),
                          QString::fromLatin1(qVersion())));
        return t;
    }();
    return table;
}

// Files of the about box are small texts; anything larger is not a read-me and is not loaded
// whole into a text view.
constexpr qint64 kMaxPageFileSize = 4 * 1024 * 1024;

QTextEdit *makeView(QWidget *parent, const QString &name)
{
    auto *view = new QTextEdit(parent);
    view->setObjectName(name);
    view->setReadOnly(true);
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    return view;
}

} // namespace

QString THelpAbout::versionString(const QString &name)
{
    const auto it = versionTable().constFind(name);
    if (it != versionTable().constEnd())
        return it.value();
    return u' ' + name + QStringLiteral(" not available");
}

THelpAbout &THelpAbout::instance(QWidget *mainWindow)
{
    // The box belongs to the main window it was last shown over and goes with it; a later
    // window gets a new one.
    static QPointer<THelpAbout> box;
    if (!box)
        box = new THelpAbout(mainWindow);
    return *box;
}

void THelpAbout::showAbout(QWidget *mainWindow)
{
    THelpAbout &box = instance(mainWindow);
    if (mainWindow && box.parentWidget() != mainWindow)
        box.setParent(mainWindow, box.windowFlags()); // stays in front of the main window
    box.refresh();
    box.show();
    box.raise();
    box.activateWindow();
}

THelpAbout::THelpAbout(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("HelpAbout"));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose, false);
    // Only the main window keeps the program running.
    setAttribute(Qt::WA_QuitOnClose, false);

    PageControlVersionInfo = new QTabWidget(this);
    PageControlVersionInfo->setObjectName(QStringLiteral("PageControlVersionInfo"));

    TabSheetVersionInfo = new QWidget;
    TabSheetVersionInfo->setObjectName(QStringLiteral("TabSheetVersionInfo"));
    Memo1 = makeView(TabSheetVersionInfo, QStringLiteral("Memo1"));
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setFixedHeight(62);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setLineWrapMode(QTextEdit::NoWrap);
    Memo1->viewport()->installEventFilter(this);
    Memo2 = makeView(TabSheetVersionInfo, QStringLiteral("Memo2"));
    auto *versionLayout = new QVBoxLayout(TabSheetVersionInfo);
    versionLayout->addWidget(Memo1);
    versionLayout->addWidget(Memo2, 1);
    PageControlVersionInfo->addTab(TabSheetVersionInfo, QString());

    TabSheetReadMe = new QWidget;
    TabSheetReadMe->setObjectName(QStringLiteral("TabSheetReadMe"));
    fileLines = makeView(TabSheetReadMe, QStringLiteral("fileLines"));
    (new QVBoxLayout(TabSheetReadMe))->addWidget(fileLines);
    PageControlVersionInfo->addTab(TabSheetReadMe, QString());

    TabSheetEulatext = new QWidget;
    TabSheetEulatext->setObjectName(QStringLiteral("TabSheetEulatext"));
    eulaLines = makeView(TabSheetEulatext, QStringLiteral("eulaLines"));
    (new QVBoxLayout(TabSheetEulatext))->addWidget(eulaLines);
    PageControlVersionInfo->addTab(TabSheetEulatext, QString());

    BitBtn1 = new QPushButton(this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BitBtn1);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(PageControlVersionInfo, 1);
    layout->addLayout(buttons);
    resize(584, 419);
}

void THelpAbout::showEvent(QShowEvent *event)
{
    refresh();
    QDialog::showEvent(event);
}

void THelpAbout::refresh()
{
    HelpShared::followUserLanguage();
    setWindowTitle(translate(QStringLiteral("captionHelpAbout")));
    BitBtn1->setText(translate(QStringLiteral("buttonOK")));
    PageControlVersionInfo->setTabText(PageControlVersionInfo->indexOf(TabSheetVersionInfo),
                                       translate(QStringLiteral("captionVersionInfo")));

    Memo1->clear();
    Memo1->setPlainText(versionString(QStringLiteral("ProductName")) + QStringLiteral(" V")
                        + versionString(QStringLiteral("ProductVersion")) + u'\n' + QString(102, u'-'));
    // Centred line by line, as the version page shows them.
    QTextCursor cursor(Memo1->document());
    cursor.select(QTextCursor::Document);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    cursor.mergeBlockFormat(centred);

    Memo2->clear();
    Memo2->setPlainText(versionString(QStringLiteral("LegalCopyright")) + QStringLiteral("\n\n")
                        + versionString(QStringLiteral("LegalTrademarks")) + QStringLiteral("\n\n")
                        + HelpShared::language().translateBlock(QStringLiteral("helpAbout")).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

    fillPage(TabSheetEulatext, eulaLines, fileEulaIdentifier, QStringLiteral("captionEula"));
    fillPage(TabSheetReadMe, fileLines, filenameIdentifier, QStringLiteral("captionReadMe"));
    PageControlVersionInfo->setCurrentWidget(TabSheetVersionInfo);
}

void THelpAbout::fillPage(QWidget *&page, QTextEdit *view, const QString &fileIdentifier, const QString &captionKey)
{
    if (!page)
        return;
    QString name = translate(fileIdentifier);
    if (name.isEmpty())
        name = fileIdentifier;
    const QString path = QDir(HelpShared::programDir()).filePath(name);
    const QFileInfo info(path);
    QFile file(path);
    if (!info.isFile() || info.size() > kMaxPageFileSize || !file.open(QIODevice::ReadOnly)) {
        // Without its file the page goes for the rest of the run.
        PageControlVersionInfo->removeTab(PageControlVersionInfo->indexOf(page));
        page->deleteLater();
        page = nullptr;
        return;
    }
    const QString text = QString::fromUtf8(file.readAll());
    if (Qt::mightBeRichText(text))
        view->setHtml(text);
    else
        view->setPlainText(text);
    PageControlVersionInfo->setTabText(PageControlVersionInfo->indexOf(page), translate(captionKey));
}

bool THelpAbout::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Memo1->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        Memo1DblClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void THelpAbout::Memo1DblClick()
{
    QFile file(QDir(HelpShared::programDir()).filePath(QStringLiteral("lastCommits.ini")));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return; // no change log shipped: nothing to show
    // Every line followed by an empty line, so the entries stand apart in the box.
    QString text;
    const QStringList lines = QString::fromUtf8(file.read(kMaxPageFileSize)).split(u'\n');
    for (const QString &line : lines) {
        if (&line == &lines.last() && line.isEmpty())
            break; // the file's final line end opens no further entry
        text += line + QStringLiteral("\n \n");
    }
    UserPrompts::instance().message(QStringLiteral("Change log"), text, PromptIcon::Information,
                                    {PromptButton::Ok}, PromptButton::Ok);
}
