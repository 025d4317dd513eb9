// torvane-screenshots --out DIR --data DIR [--port COMn] [SCENE...]
// Builds the program's windows under the current display and saves PNG pictures of them.
#include "Scenes.h"

#include "shell/GWMainForm.h"
#include "shell/QtUserPrompts.h"
#include "link/LinkWait.h"
#include "platform/UserPrompts.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QTextStream>

#include <cstdio>

std::map<QString, SceneFunction> &ScreenshotScene::all()
{
    static std::map<QString, SceneFunction> scenes;
    return scenes;
}

ScreenshotScene::ScreenshotScene(const QString &name, SceneFunction run)
{
    all()[name] = std::move(run);
}

void SceneContext::settle(int ms) const
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        LinkWait::waitUntil([] { return false; }, 20);
}

bool SceneContext::save(QWidget *widget, const QString &name) const
{
    settle();
    const QString path = QDir(outDir).filePath(name + QStringLiteral(".png"));
    const bool ok = widget->grab().save(path);
    QTextStream(stdout) << (ok ? "wrote " : "FAILED ") << path << Qt::endl;
    return ok;
}

bool saveScenePicture(QWidget &widget, const QString &outDir, const QString &name, QStringList &written)
{
    widget.show();
    widget.raise();
    QApplication::processEvents();
    const QString path = QDir(outDir).filePath(name + QStringLiteral(".png"));
    if (!widget.grab().save(path))
        return false;
    written << path;
    return true;
}

namespace {

// Boxes are written to stdout instead of waiting for a click.
class LoggingPrompts final : public UnattendedPrompts
{
public:
    PromptButton message(const QString &caption, const QString &text, PromptIcon, const PromptButtons &,
                         PromptButton defaultButton) override
    {
        QTextStream(stdout) << "box: " << caption << ": " << text << Qt::endl;
        return defaultButton;
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Torvane"));
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("Folder for the pictures."), QStringLiteral("DIR"), QStringLiteral("screenshots"));
    const QCommandLineOption data(QStringLiteral("data"), QStringLiteral("The example data folder."), QStringLiteral("DIR"), QStringLiteral("data"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Port of a running simulator."), QStringLiteral("COMn"));
    parser.addOption(out);
    parser.addOption(data);
    parser.addOption(port);
    parser.addPositionalArgument(QStringLiteral("scene"), QStringLiteral("Scenes to run (default: all)."));
    parser.process(app);

    LoggingPrompts prompts;
    UserPrompts::setInstance(&prompts);

    SceneContext ctx;
    ctx.outDir = parser.value(out);
    ctx.dataDir = parser.value(data);
    ctx.langDir = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("lang"));
    ctx.port = parser.value(port);
    QDir().mkpath(ctx.outDir);

    int failures = 0;
    {
        TGWMainForm window(TGWMainForm::Session::Isolated);
        ctx.mainWindow = &window;
        window.initLanguage(ctx.langDir);
        window.move(20, 20);
        window.show();
        const QStringList wanted = parser.positionalArguments();
        for (auto &[name, run] : ScreenshotScene::all()) {
            if (!wanted.isEmpty() && !wanted.contains(name))
                continue;
            QTextStream(stdout) << "scene " << name << Qt::endl;
            try {
                run(ctx);
            } catch (const std::exception &e) {
                QTextStream(stdout) << "scene " << name << " failed: " << e.what() << Qt::endl;
                ++failures;
            }
        }
    }
    UserPrompts::setInstance(nullptr);
    return failures ? 1 : 0;
}
