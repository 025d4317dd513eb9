// The program: the application, the translation, the main window with its description file
// and port, then the first content (an upload when a port is given, else an empty image).
//   torvane [/W description.tcf] [/P COMn]
#include "shell/FileCommands.h"
#include "shell/GWMainForm.h"
#include "shell/HelpViewer.h"
#include "shell/ItemEditorDialog.h"
#include "shell/OptionsCommands.h"
#include "shell/QtUserPrompts.h"

#include "link/ProgramSettings.h"
#include "link/SerialSession.h"
#include "platform/RegistryStore.h"
#include "platform/UserPrompts.h"

#include <QApplication>
#include <QDir>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Torvane"));
    QtUserPrompts prompts;
    UserPrompts::setInstance(&prompts);

    QString description;
    QString port;
    const QStringList args = QCoreApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString a = args[i].toUpper();
        if ((a == QLatin1String("/W") || a == QLatin1String("-W")) && i + 1 < args.size())
            description = args[++i];
        else if ((a == QLatin1String("/P") || a == QLatin1String("-P")) && i + 1 < args.size())
            port = args[++i].toUpper();
    }
    const bool lockedDescription = !description.isEmpty();
    if (description.isEmpty())
        description = ProgramSettings::readDescriptionFilePath(RegistryStore::user());

    int rc = 0;
    {
        TGWMainForm window;
        window.initLanguage(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("lang")));
        HelpShared::setLanguage(&window.Language());
        // The one parameter editor of the run, reached by the parameters through their seam.
        TItemEditor editor(&window);
        editor.setLanguage(&window.Language());
        ItemEditor::setInstance(&editor);
        TOptionsCommands &options = installOptionsCommands(window);
        installFileCommands(window);
        if (!port.isEmpty())
            options.excludePort(port);
        if (lockedDescription)
            options.lockDescriptionFile(description);
        window.show();
        QString error;
        if (!window.openDescription(description, &error))
            prompts.showMessage(error, window.translate(QStringLiteral("messageCaptionWarning")), PromptIcon::Warning);
        window.openPort(port);
        if (!port.isEmpty() && window.Com().IsOpen())
            window.guarded(QStringLiteral("doUpload"), [&window] { window.DeviceCommands().doUpload(true, true); });
        else
            window.EEROM().Clear();
        rc = app.exec();
        ItemEditor::setInstance(nullptr);
    }
    UserPrompts::setInstance(nullptr);
    return rc;
}
