#pragma once

#include <QString>
#include <QWidget>

class LanguageSelect;
class QLabel;
class QLineEdit;
class QPushButton;
class TOptions;

// Owner of the description-file sheet "TGWConfigFileSheetCaption" (never shown itself; its
// sheet lives in the settings dialog). The sheet shows the path of the description file in a
// read-only edit, stored by the settings dialog as "EditTGWCurrentFilePath", and lets the user
// choose another file; the new path takes effect at the next start of the program.
// A path given on the command line (/W) locks the sheet: the edit shows it, is not stored, and
// edit and button are disabled.
class TGW_Config : public QWidget
{
    Q_OBJECT
public:
    explicit TGW_Config(QWidget *parent = nullptr);

    QWidget *TGWConfigFileSheetCaption = nullptr;
    QLabel *TGWCurrentFilePath = nullptr;
    QLineEdit *EditTGWCurrentFilePath = nullptr;
    QPushButton *TGWConfigFileButtonSetConfigFile = nullptr;

    LanguageSelect *language = nullptr; // not owned

    void registerWith(TOptions &options);

    // The choose button: an open-file dialog; a picked file becomes the edit's text (stored
    // only when the dialog is confirmed).
    void TGWConfigFileButtonSetConfigFileClick();
    // The edit's hint follows its text.
    void EditTGWCurrentFilePathChange();
    // The button's caption is set each time the sheet is shown.
    void TGWConfigFileSheetCaptionShow();

    // /W: shows path, excludes it from the settings store, disables edit and button and says so
    // on the label (also after a language change).
    void lockPath(const QString &path, TOptions &options);
    bool isLocked() const { return m_locked; }

    void translateCaptions();

private:
    QString text(const QString &key) const;
    bool m_locked = false;
};
