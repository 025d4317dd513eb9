#include "shell/HelpViewer.h"

#include "base/IniFile.h"
#include "base/TextHelpers.h"
#include "localisation/LanguageSelect.h"
#include "platform/ConfigPaths.h"
#include "platform/RegistryStore.h"
#include "platform/UserPrompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <memory>

namespace {

LanguageSelect *g_language = nullptr;
QString g_programDir;

// The service of the help windows when the main window has handed over none: it loads the
// fall-back language once and follows "UserLang", which every language choice stores.
struct OwnLanguage {
    std::unique_ptr<LanguageSelect> service;
    QString dir;
    QString loaded;
    bool checkChoice = true; // read "UserLang" again at the next look-up
};
OwnLanguage &ownLanguage()
{
    static OwnLanguage own;
    return own;
}

const QString kContextsFile = QStringLiteral("contexts.ini");
const QString kContextsSection = QStringLiteral("Contexts");

} // namespace

namespace HelpShared {

void setLanguage(LanguageSelect *language)
{
    g_language = language;
}

LanguageSelect &language()
{
    if (g_language)
        return *g_language;
    OwnLanguage &own = ownLanguage();
    const QString dir = QDir(programDir()).filePath(QStringLiteral("lang"));
    if (!own.service || own.dir != dir) {
        own.service = std::make_unique<LanguageSelect>();
        own.service->setLangDir(dir);
        own.service->initLangs();
        own.service->readDefaultLang();
        own.dir = dir;
        own.loaded.clear();
    }
    if (!own.checkChoice)
        return *own.service;
    own.checkChoice = false;
    const QString chosen = RegistryStore::user()
                               .readString(own.service->registryPath, QStringLiteral("UserLang"))
                               .value_or(QString());
    if (chosen != own.loaded) {
        // readFile stores the name again; it is the same name, so nothing changes for the user.
        own.service->readFile(chosen);
        own.loaded = chosen;
    }
    return *own.service;
}

void followUserLanguage()
{
    ownLanguage().checkChoice = true;
}

QString translate(const QString &key)
{
    return language().translate(key);
}

void setProgramDir(const QString &dir)
{
    g_programDir = dir;
}

QString programDir()
{
    if (!g_programDir.isEmpty())
        return g_programDir;
    // Beside the executable in a build, <prefix>/share/torvane when installed.
    return ConfigPaths::programDataDir(QString());
}

} // namespace HelpShared

using HelpShared::translate;

THelpViewer &THelpViewer::instance()
{
    static THelpViewer *viewer = new THelpViewer;
    return *viewer;
}

THelpViewer::THelpViewer(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpViewer"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    // The help goes with the main window: an open help window never keeps the program running.
    setAttribute(Qt::WA_QuitOnClose, false);

    btnContents = new QToolButton(this);
    btnContents->setObjectName(QStringLiteral("helpButtonContents"));
    btnBack = new QToolButton(this);
    btnBack->setObjectName(QStringLiteral("helpButtonBack"));
    btnBack->setEnabled(false);
    btnForward = new QToolButton(this);
    btnForward->setObjectName(QStringLiteral("helpButtonForward"));
    btnForward->setEnabled(false);

    HelpBrowser = new QTextBrowser(this);
    HelpBrowser->setObjectName(QStringLiteral("HelpBrowser"));
    // Links to the web leave the program; links inside the help stay in this window.
    HelpBrowser->setOpenExternalLinks(true);
    HelpBrowser->document()->setDocumentMargin(10); // the pages' own body margin is not applied

    auto *bar = new QHBoxLayout;
    bar->setContentsMargins(4, 4, 4, 0);
    bar->addWidget(btnContents);
    bar->addWidget(btnBack);
    bar->addWidget(btnForward);
    bar->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addLayout(bar);
    layout->addWidget(HelpBrowser, 1);
    resize(640, 520);

    connect(btnContents, &QToolButton::clicked, this, [this] { showContents(); });
    connect(btnBack, &QToolButton::clicked, HelpBrowser, &QTextBrowser::backward);
    connect(btnForward, &QToolButton::clicked, HelpBrowser, &QTextBrowser::forward);
    connect(HelpBrowser, &QTextBrowser::backwardAvailable, btnBack, &QWidget::setEnabled);
    connect(HelpBrowser, &QTextBrowser::forwardAvailable, btnForward, &QWidget::setEnabled);
    connect(HelpBrowser, &QTextBrowser::sourceChanged, this, [this](const QUrl &source) {
        m_current = source;
        updateTitle();
    });
    translateCaptions();
}

QString THelpViewer::helpFile() const
{
    const QString name = translate(QStringLiteral("helpFileName")).trimmed();
    if (name.isEmpty())
        return QString();
    if (QDir::isAbsolutePath(name))
        return QDir::cleanPath(name);
    return QDir::cleanPath(QDir(HelpShared::programDir()).filePath(name));
}

QString THelpViewer::currentSource() const
{
    const QUrl source = m_current;
    if (source.isEmpty())
        return QString();
    QString text = source.toLocalFile();
    if (source.hasFragment())
        text += u'#' + source.fragment();
    return text;
}

bool THelpViewer::showContents()
{
    HelpShared::followUserLanguage();
    const QString file = helpFile();
    if (file.isEmpty() || !QFileInfo(file).isFile()) {
        UserPrompts::instance().showMessage(
            FormatText(translate(QStringLiteral("helpMessageFileNotFound")), {QDir::toNativeSeparators(file)}),
            translate(QStringLiteral("captionHelpViewer")), PromptIcon::Warning);
        return false;
    }
    return showPage(file, QString());
}

bool THelpViewer::showTopic(const QString &topic)
{
    HelpShared::followUserLanguage();
    const QString file = helpFile();
    if (file.isEmpty() || !QFileInfo(file).isFile())
        return showContents(); // tells the user that the help file is missing
    QString page = topic.trimmed();
    QString fragment;
    const qsizetype hash = page.indexOf(u'#');
    if (hash >= 0) {
        fragment = page.mid(hash + 1);
        page = page.left(hash);
    }
    if (page.isEmpty() && fragment.isEmpty())
        return showPage(file, QString());

    // A topic names a page of the help folder (from the description file through the
    // language file): it may not lead out of that folder.
    const QDir helpDir = QFileInfo(file).absoluteDir();
    QString path = page.isEmpty() ? file : QDir::cleanPath(helpDir.filePath(page));
    if (!page.isEmpty() && QFileInfo(path).suffix().isEmpty() && !QFileInfo(path).isFile())
        path += QStringLiteral(".html");
    const QString canonicalDir = helpDir.canonicalPath();
    const QString canonicalPage = QFileInfo(path).canonicalFilePath();
    const bool inside = !canonicalPage.isEmpty() && !canonicalDir.isEmpty()
                        && canonicalPage.startsWith(canonicalDir + u'/') && QFileInfo(canonicalPage).isFile();
    if (!inside) {
        UserPrompts::instance().showMessage(
            FormatText(translate(QStringLiteral("helpMessageTopicNotFound")), {topic, QDir::toNativeSeparators(file)}),
            translate(QStringLiteral("captionHelpViewer")), PromptIcon::Warning);
        return false;
    }
    return showPage(canonicalPage, fragment);
}

bool THelpViewer::showContext(int context)
{
    HelpShared::followUserLanguage();
    const QString file = helpFile();
    if (file.isEmpty() || !QFileInfo(file).isFile())
        return showContents();
    IniFile map;
    map.load(QFileInfo(file).absoluteDir().filePath(kContextsFile));
    const QString topic = map.readString(kContextsSection, QString::number(context)).trimmed();
    // Rows without a parameter carry context 1 and parameters without a help code 0: both,
    // and any number the help does not know, open the contents rather than an error.
    if (topic.isEmpty())
        return showPage(file, QString());
    return showTopic(topic);
}

bool THelpViewer::showPage(const QString &path, const QString &fragment)
{
    translateCaptions();
    QUrl url = QUrl::fromLocalFile(path);
    if (!fragment.isEmpty())
        url.setFragment(fragment);
    if (HelpBrowser->source() == url)
        HelpBrowser->reload();
    else
        HelpBrowser->setSource(url);
    if (!fragment.isEmpty()) {
        HelpBrowser->scrollToAnchor(fragment);
        markAnchor(fragment);
    } else {
        HelpBrowser->verticalScrollBar()->setValue(0);
    }
    m_current = url;
    updateTitle();
    show();
    raise();
    activateWindow();
    return true;
}

void THelpViewer::markAnchor(const QString &anchor)
{
    // On a short page the view cannot scroll to the section asked for; selecting its heading
    // shows the reader which part of the page is meant.
    for (QTextBlock block = HelpBrowser->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (!it.fragment().charFormat().anchorNames().contains(anchor))
                continue;
            QTextCursor cursor(block);
            cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
            HelpBrowser->setTextCursor(cursor);
            return;
        }
    }
}

void THelpViewer::translateCaptions()
{
    btnContents->setText(translate(QStringLiteral("helpButtonContents")));
    btnBack->setText(translate(QStringLiteral("helpButtonBack")));
    btnForward->setText(translate(QStringLiteral("helpButtonForward")));
    updateTitle();
}

void THelpViewer::updateTitle()
{
    const QString caption = translate(QStringLiteral("captionHelpViewer"));
    const QString page = HelpBrowser->documentTitle();
    setWindowTitle(page.isEmpty() ? caption : caption + QStringLiteral(" - ") + page);
}
