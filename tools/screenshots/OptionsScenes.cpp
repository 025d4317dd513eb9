// Gallery scenes of the settings dialog and the file lookup's question.
#include "Scenes.h"
#include "OptionsScenes.h"

#include "base/GeneralError.h"
#include "link/FileLookup.h"
#include "localisation/LanguageSelect.h"
#include "platform/PortMap.h"
#include "shell/GWConfig.h"
#include "shell/Options.h"
#include "shell/QtUserPrompts.h"
#include "shell/SerialOptionSheets.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

namespace {


} // namespace

QStringList renderOptionsScenes(const QString &outDir, LanguageSelect *language)
{
    QStringList written;
    // A USB adapter on COM33 stands for the device shown beside the name.
    QTemporaryDir devices;
    const QString adapter = devices.filePath(QStringLiteral("ttyUSB0"));
    if (QFile file(adapter); file.open(QIODevice::WriteOnly))
        file.close();
    const bool linked = PortMap::linkPort(33, adapter);

    TOptions options;
    options.FFieldBusName = QStringLiteral("Torvane");
    options.language = language;
    TGW_Config config;
    config.language = language;
    TSerialOptionSheets sheets;
    sheets.language = language;
    config.registerWith(options);
    sheets.registerWith(options);
    config.translateCaptions();
    sheets.translateCaptions();
    options.translateCaptions();

    // Shown without exec (a modal loop would wait for a click): the same steps as when shown.
    options.show();
    sheets.RebuildPortList();
    TOptions::setComboText(sheets.PortNumber, QStringLiteral("COM33"));
    options.OptionPages->setCurrentWidget(sheets.qvSerialOptionCaption);
    saveScenePicture(options, outDir, QStringLiteral("options-port"), written);
    TOptions::setComboText(sheets.Baudrate, QStringLiteral("19200"));
    options.OptionPages->setCurrentWidget(sheets.qvMoreSerialOptionCaption);
    saveScenePicture(options, outDir, QStringLiteral("options-line"), written);
    // As stored (shown after the dialog has read the store of this gallery run).
    config.EditTGWCurrentFilePath->setText(QStringLiteral("/home/user/gateways/vantor.tcf"));
    options.OptionPages->setCurrentWidget(config.TGWConfigFileSheetCaption);
    saveScenePicture(options, outDir, QStringLiteral("options-descriptionfile"), written);
    config.lockPath(QStringLiteral("/opt/plant/line3.tcf"), options);
    saveScenePicture(options, outDir, QStringLiteral("options-descriptionfile-locked"), written);
    options.hide();
    if (linked)
        PortMap::unlinkPort(33);

    // The lookup's question for a configuration file that is nowhere: grabbed, then answered
    // with Ignore.
    QTimer::singleShot(100, [&] {
        if (QWidget *box = QApplication::activeModalWidget()) {
            saveScenePicture(*box, outDir, QStringLiteral("locatefile-question"), written);
            if (auto *question = qobject_cast<QMessageBox *>(box); question && question->button(QMessageBox::Ignore))
                question->button(QMessageBox::Ignore)->click();
            else
                box->close();
        }
    });
    FileLookupDirectories nowhere;
    nowhere.working = devices.path();
    // The real box, whatever prompts the gallery runs with.
    UserPrompts *previous = &UserPrompts::instance();
    QtUserPrompts boxes;
    UserPrompts::setInstance(&boxes);
    try {
        locateFile(QStringLiteral("PLANT.GWC"), language, nowhere);
    } catch (const TorvaneError &) {
    }
    UserPrompts::setInstance(previous);
    return written;
}

#include "Scenes.h"
#include "shell/GWMainForm.h"

static ScreenshotScene optionsScene(QStringLiteral("options"), [](SceneContext &ctx) {
    renderOptionsScenes(ctx.outDir, ctx.mainWindow ? &ctx.mainWindow->Language() : nullptr);
});
