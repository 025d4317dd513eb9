#pragma once

// A scene builds windows and saves pictures of them. Add scenes in a .cpp file of your own:
//
//   static ScreenshotScene about("about", [](SceneContext &ctx) {
//       ... build and show the window ...
//       ctx.save(window, "about");          // writes <out>/about.png
//   });
//
// Scenes run in the order of their names. The context gives the example data, the port the
// simulator runs on (empty when none) and the main window (created once, shared by scenes).

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <map>

class TGWMainForm;

struct SceneContext {
    QString outDir;
    QString dataDir;   // the example data folder (data/ of the source tree)
    QString langDir;   // the language files beside the program
    QString port;      // "COM9" when a simulator is running, else empty
    TGWMainForm *mainWindow = nullptr;

    // Lets the windows settle (layouts, pending paints) for ms milliseconds.
    void settle(int ms = 200) const;
    // Grabs the widget (whole window with its frame contents) into outDir/name.png.
    bool save(QWidget *widget, const QString &name) const;
    // The example in the main window: uploaded from the simulator when one runs, else opened
    // from its file. Does nothing once a description is open.
    void loadExample();
};

// Shows the widget and grabs it into outDir/name.png after pending events ran; on success the file is
// added to written. For scene helpers that render several pictures without a context.
bool saveScenePicture(QWidget &widget, const QString &outDir, const QString &name, QStringList &written);

using SceneFunction = std::function<void(SceneContext &)>;

struct ScreenshotScene {
    ScreenshotScene(const QString &name, SceneFunction run);
    static std::map<QString, SceneFunction> &all();
};
