#include "shell/GWConfig.h"

#include "link/ProgramSettings.h"
#include "localisation/LanguageSelect.h"
#include "platform/UserPrompts.h"
#include "shell/Options.h"

#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// Shows the sheet's "shown" handler each time the page becomes visible.
class ShowWatcher : public QObject
{
public:
    ShowWatcher(TGW_Config *owner) : QObject(owner), m_owner(owner) {}
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched == m_owner->TGWConfigFileSheetCaption)
            m_owner->TGWConfigFileSheetCaptionShow();
        return false;
    }

private:
    TGW_Config *m_owner;
};

} // namespace

TGW_Config::TGW_Config(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TGWConfigFile"));
    setWindowTitle(QStringLiteral("Description file"));

    TGWConfigFileSheetCaption = new QWidget(this);
    TGWConfigFileSheetCaption->setObjectName(ProgramSettings::kDescriptionSheet);
    TGWConfigFileSheetCaption->setWindowTitle(QStringLiteral("Description file"));
    TGWConfigFileSheetCaption->installEventFilter(new ShowWatcher(this));

    TGWCurrentFilePath = new QLabel(QStringLiteral("Current File Path:"), TGWConfigFileSheetCaption);
    TGWCurrentFilePath->setObjectName(QStringLiteral("TGWCurrentFilePath"));
    TGWCurrentFilePath->setWordWrap(true);
    // Its text depends on the /W lock: this window translates it, not the caption walk.
    TGWCurrentFilePath->setProperty("torvaneNoCaption", true);
    EditTGWCurrentFilePath = new QLineEdit(TGWConfigFileSheetCaption);
    EditTGWCurrentFilePath->setObjectName(ProgramSettings::kDescriptionPathValue);
    EditTGWCurrentFilePath->setFixedWidth(310);
    EditTGWCurrentFilePath->setReadOnly(true);
    TGWConfigFileButtonSetConfigFile = new QPushButton(QStringLiteral("Choose ..."), TGWConfigFileSheetCaption);
    TGWConfigFileButtonSetConfigFile->setObjectName(QStringLiteral("TGWConfigFileButtonSetConfigFile"));

    auto *layout = new QGridLayout(TGWConfigFileSheetCaption);
    layout->addWidget(TGWCurrentFilePath, 0, 0, 1, 2);
    layout->addWidget(EditTGWCurrentFilePath, 1, 0);
    layout->addWidget(TGWConfigFileButtonSetConfigFile, 1, 1);
    layout->setColumnStretch(2, 1);
    layout->setRowStretch(2, 1);

    connect(EditTGWCurrentFilePath, &QLineEdit::textChanged, this, &TGW_Config::EditTGWCurrentFilePathChange);
    connect(TGWConfigFileButtonSetConfigFile, &QPushButton::clicked, this,
            &TGW_Config::TGWConfigFileButtonSetConfigFileClick);
}

void TGW_Config::registerWith(TOptions &options)
{
    options.RegisterSheet(TGWConfigFileSheetCaption);
}

QString TGW_Config::text(const QString &key) const
{
    return language ? language->translate(key) : key;
}

void TGW_Config::TGWConfigFileButtonSetConfigFileClick()
{
    const QString current = EditTGWCurrentFilePath->text();
    const QString picked = UserPrompts::instance().openFile(
        QString(), current.isEmpty() ? QString() : QFileInfo(current).absolutePath(), QStringLiteral("*.*|*.*"));
    if (!picked.isEmpty())
        EditTGWCurrentFilePath->setText(picked);
}

void TGW_Config::EditTGWCurrentFilePathChange()
{
    EditTGWCurrentFilePath->setToolTip(EditTGWCurrentFilePath->text());
}

void TGW_Config::TGWConfigFileSheetCaptionShow()
{
    TGWConfigFileButtonSetConfigFile->setText(text(QStringLiteral("TGWConfigFileButtonSetConfigFile")));
}

void TGW_Config::lockPath(const QString &path, TOptions &options)
{
    EditTGWCurrentFilePath->setText(path);
    options.addExcludeControl(EditTGWCurrentFilePath);
    EditTGWCurrentFilePath->setEnabled(false);
    TGWConfigFileButtonSetConfigFile->setEnabled(false);
    m_locked = true;
    translateCaptions();
}

void TGW_Config::translateCaptions()
{
    setWindowTitle(text(QStringLiteral("TGWConfigFile")));
    TGWConfigFileSheetCaption->setWindowTitle(text(QStringLiteral("TGWConfigFileSheetCaption")));
    TGWCurrentFilePath->setText(text(m_locked ? QStringLiteral("TGWCurrentConfigFileAddtionalInfo")
                                              : QStringLiteral("TGWCurrentFilePath")));
    TGWConfigFileButtonSetConfigFile->setText(text(QStringLiteral("TGWConfigFileButtonSetConfigFile")));
}
