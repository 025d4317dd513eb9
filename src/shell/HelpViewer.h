#pragma once

#include <QString>
#include <QUrl>
#include <QWidget>

class QTextBrowser;
class QToolButton;
class LanguageSelect;

// What the help window and the about box share: the translation service they caption with and
// the program's folder, beside which the language files, the help and the about box's files lie.
namespace HelpShared {
// The main window hands over its translation service (not owned). Without one, a service of
// their own follows the language the user chose last ("UserLang").
void setLanguage(LanguageSelect *language);
LanguageSelect &language();
// The own service reads the user's choice again at its next look-up (each time a window of
// the help is shown), not at every text.
void followUserLanguage();
QString translate(const QString &key);
// Defaults to the program's data folder (the executable's folder in a build, the installed
// share folder otherwise); tests point it elsewhere.
void setProgramDir(const QString &dir);
QString programDir();
}

// The help window: shows the program's HTML help (one folder per language beside the
// language files, the contents page named by the translation key "helpFileName") at its
// contents, at a topic or at a context number. A topic is a page of the help folder, with an
// optional "#anchor"; context numbers are mapped to topics by "contexts.ini" beside the
// contents page. A missing help file or topic is told through the user prompts instead of
// showing an empty window.
class THelpViewer : public QWidget
{
    Q_OBJECT
public:
    static THelpViewer &instance();

    bool showContents();
    bool showTopic(const QString &topic);
    bool showContext(int context);

    // The contents page in force (from "helpFileName", relative to the program's folder).
    QString helpFile() const;
    // The page shown last, with its anchor.
    QString currentSource() const;

    QTextBrowser *browser() const { return HelpBrowser; }

private:
    explicit THelpViewer(QWidget *parent = nullptr);
    bool showPage(const QString &path, const QString &fragment);
    void markAnchor(const QString &anchor);
    void translateCaptions();
    void updateTitle();

    QTextBrowser *HelpBrowser = nullptr;
    // The browser keeps its source when only the anchor changes; the page shown is kept here.
    QUrl m_current;
    QToolButton *btnContents = nullptr;
    QToolButton *btnBack = nullptr;
    QToolButton *btnForward = nullptr;
};
