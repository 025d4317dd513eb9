#pragma once

// The main window: the parameter grid over the configuration image, the rule toggles, the
// connect button, the monitor, the status bar and the menus. It owns the long-lived objects
// of a run (description file, translation service, profile reader, image, serial session,
// receiver, device commands) and shows what the device commands report (TDeviceView).
//
// Other windows reach it through this header: the image (EEROM()), the device commands
// (DeviceCommands()), the session (Com()), refreshGrid(), StatusText(), EditPos, initCaptions
// and the menu entries, found by their object names (findChild<QAction *>("mainMenuPrint")).
// Entries whose commands belong to other windows are created here with their shortcuts and
// left unconnected; those windows connect to them from their own files.

#include "link/DeviceCommands.h"
#include "link/EEROM.h"
#include "localisation/LanguageSelect.h"
#include "base/IniFile.h"
#include "model/ProfilMapTool.h"

#include <QColor>
#include <QHash>
#include <QMainWindow>
#include <QPoint>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QFrame;
class QKeySequence;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QSplitter;
class QStatusBar;
class QTableView;
class QTimer;
class TCOM;
class TDeviceReceiver;
class TMyMemo;
class TParameterGridModel;
class TStatusPanel2;

class TGWMainForm : public QMainWindow, public TDeviceView
{
    Q_OBJECT
public:
    // Program: the session joins the other running copies and watches USB arrivals.
    // Isolated: a session without either (tests, screenshots).
    enum class Session { Program, Isolated };

    explicit TGWMainForm(Session session = Session::Program, QWidget *parent = nullptr);
    ~TGWMainForm() override;

    // --- the long-lived objects of the run ------------------------------------------------------
    IniFile &Description() { return FDescription; }
    LanguageSelect &Language() { return language; }
    TProfilMapTool &ProfilMapTool() { return FProfilMapTool; }
    TEEROM &EEROM() { return FEEROM; }
    TCOM &Com() { return *FCOM; }
    TDeviceReceiver &Receiver() { return *FReceiver; }
    TDeviceCommands &DeviceCommands() { return *FDeviceCommands; }

    // --- start-up steps (main.cpp and the start-up of the program call them) ---------------------
    // Language files from dir: discovery, the remembered or the fall-back language, the captions.
    // False when no language file exists (the window then shows the keys).
    bool initLanguage(const QString &langDir);
    // Opens the description file shared by the image, the factory and the profile reader, and
    // shows its version in status panel 3. False (with the reason in *error) when unreadable.
    bool openDescription(const QString &path, QString *error = nullptr);
    QString DescriptionFilePath() const { return FDescriptionFilePath; }
    // Applies the port settings and opens the port ("offline" leaves it closed), then refreshes
    // the connect button, the device commands and status panel 2.
    void openPort(const QString &portName);
    // The debug view (/D, /F): the data section shows the image as text, every shown parameter
    // is editable.
    void setDebugView(bool on);
    bool DebugView() const { return FDebugansicht; }
    // Unattended runs (/G, /Q): nobody answers questions, so changes are never asked about.
    void setUnattended(bool on) { FUnattended = on; }
    bool Unattended() const { return FUnattended; }

    // --- window placement (the settings store's "WindowPosSize", "WindowState", "DefaultMonitor")
    // Restores what the last close stored; a rectangle off every screen is ignored.
    void restoreWindowPlacement();
    // Stores bounds (normal state only), state and nearest screen; a failure is shown.
    void storeWindowPlacement();
    // From the end of the first activation on, every resize stores the placement.
    void setStoresPlacementOnResize(bool on) { FStoresPlacement = on; }

    // --- operations other parts call --------------------------------------------------------------
    void StatusText(const QString &text); // status panel 0, shown at once
    QString StatusText() const;
    void showImageSize(uint16_t count);
    bool isEditable(TItem *item) const;
    void initCaptions(const QString &lang);
    void changeLanguage(const QString &lang);
    // The port dialog's outcome (the settings dialog runs it on the Port command): when the user
    // confirmed, the port settings are applied and the connect button refreshed; in every case
    // status panel 2 shows the port name.
    void portSettingsClosed(bool confirmed);
    // Runs a command with the window's error guard: a failure is shown in a box, the busy cursor
    // is reset and the program goes on.
    void guarded(const QString &what, const std::function<void()> &command);

    // --- TDeviceView ------------------------------------------------------------------------------
    void SetPanelText(int panel, const QString &text) override;
    QString PanelText(int panel) const override;
    void RepaintStatusBar() override;
    QString ConnectCaption() const override;
    void SetConnectCaption(const QString &caption) override;
    void enableDeviceCommands(bool enable) override;
    void EnableCommand(TDeviceCommand command, bool enable) override;
    void refreshGrid() override;
    void fitColumnWidths() override;
    void EnableGrid(bool enable) override;
    bool MonitorVisible() const override;
    void Output(const QString &text) override;
    void ShowStateWindow() override;
    void TransferProgress(qint64 done, qint64 total) override;

    // --- window state --------------------------------------------------------------------------------
    QPoint EditPos;          // screen position below the cell last clicked or focused by key
    bool fEditing = false;   // Enter went down in the grid
    QString HelpFile() const { return FHelpFile; }
    // The program's version (status panel 3, /V and --version).
    static QString ProductVersion();
    // The folder of the EDS templates ("ddtemplate" beside the program unless set): the Generate
    // EDS entry is enabled when it holds a template for the loaded device, and the command
    // takes the template from there.
    QString EdsTemplateDir() const;
    void setEdsTemplateDir(const QString &dir);

    // The grid's help context and hint as the last click or double-click set them.
    int GridHelpContext() const { return FGridHelpContext; }
    QString GridHint() const { return FGridHint; }
    // The hint timing the last mouse move over the grid chose (ms).
    int HintDisplayTime() const { return FHintDisplayTime; }
    int HintPause() const { return FHintPause; }
    // The port panel's text colour (grey and black in turn while the session waits for its port).
    QColor PortPanelColor() const;
    // The transfer progress bar in the status bar is shown.
    bool ProgressVisible() const;

    QTableView *grid() const { return DG; }
    TMyMemo *monitor() const { return mMonitor; }
    QAction *action(const QString &objectName) const;

    // --- handlers with fixed names (public so tests and other windows can drive them) -------------
    void ShowRuleChanging(QObject *sender);
    void EditRuleChanging();
    bool DGSelectCell(int col, int row) const;
    void DGClick();
    void DGDblClick();
    void DGMouseMove(const QPoint &viewportPos);
    void mMonitorChar(char c);
    void mainControlDatasectionDblClick();
    void popupDataSectionCopyToClipboardClick();
    void actHelpExecute();
    void actContextSensitiveHelpExecute();
    void mainmenuOptionsClick();
    void mainMenuAboutClick();
    void StatusBar1DblClick();
    void buildLanguageMenu();

    // The translation of key (the key itself without a language).
    QString translate(const QString &key) const { return language.translate(key); }
    // The same for a QString key. A string literal picks Qt's own tr(const char *) instead:
    // use translate() with literals.
    QString tr(const QString &key) const { return language.translate(key); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void createActions();
    void createMenus();
    void createWidgets();
    void bindImage();
    QAction *addAction(QMenu *menu, const QString &name, const QKeySequence &shortcut = {});
    QAction *deviceAction(TDeviceCommand command) const;
    TItem *itemOfRow(int row) const;
    void showItemValue(int row);
    void recordEditPos(const QRect &cellRect);
    void setHelpFromItem(TItem *item);
    void openHelpContext(int context);
    void refreshDataSection();

    IniFile FDescription;
    LanguageSelect language;
    TProfilMapTool FProfilMapTool;
    TEEROM FEEROM;
    std::unique_ptr<TCOM> FCOM;
    std::unique_ptr<TDeviceReceiver> FReceiver;
    std::unique_ptr<TDeviceCommands> FDeviceCommands;

    bool FDebugansicht = false;
    bool FUnattended = false;
    bool FStoresPlacement = false;
    bool FFileExit = false;            // File Exit closes without storing the placement
    QTimer *FPlacementTimer = nullptr; // a resize stores once the size has settled
    QString FDescriptionFilePath;
    QString FHelpFile;
    int FGridHelpContext = 1;
    QString FGridHint;
    QString FLastHint;
    bool FHintsOn = false;
    int32_t FLastWaiting = 0;
    int m_refreshDepth = 0;
    QHash<QString, bool> FEdsTemplateFor; // template key -> a template exists
    QString FEdsTemplateDir;              // empty: the default folder
    QTimer *FProgressHide = nullptr;
    int FHintPause = 200;
    int FHintDisplayTime = 1000;
    QString FPanels[4];

    // widgets (object names as the window's design names them)
    QFrame *pControl = nullptr;
    QCheckBox *mainControlMoreVisible = nullptr;
    QCheckBox *mainControlMoreEditable = nullptr;
    QPushButton *BitBtnConnectDisconnect = nullptr;
    QTableView *DG = nullptr;
    TParameterGridModel *FGridModel = nullptr;
    QSplitter *Splitter1 = nullptr;
    QFrame *Panel1 = nullptr;
    QLabel *mainControlDatasection = nullptr;
    TMyMemo *mMonitor = nullptr;
    QStatusBar *StatusBar1 = nullptr;
    QLabel *FPanelLabels[4] = {};
    TStatusPanel2 *FPortPanel = nullptr;
    QProgressBar *FProgress = nullptr;
    QMenu *PopupDatenbereich = nullptr;
    QMenu *mainmenuLanguage = nullptr;
    QMenu *mainmenuOptions = nullptr;
    QAction *actHelp = nullptr;
    QAction *actContextSensitiveHelp = nullptr;
};
