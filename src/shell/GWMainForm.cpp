#include "shell/GWMainForm.h"

#include "shell/FileCommands.h"

#include "shell/HelpAbout.h"
#include "shell/HelpViewer.h"
#include "shell/MyMemo.h"
#include "shell/ParameterGridModel.h"
#include "shell/StatusFenster.h"
#include "shell/WidgetCaptions.h"

#include "base/GeneralError.h"
#include "base/TextHelpers.h"
#include "generators/EdsGenerate.h"
#include "generators/EdsGeneration.h"
#include "link/DeviceHandshake.h"
#include "link/LinkWait.h"
#include "link/ProgramSettings.h"
#include "link/SerialSession.h"
#include "platform/RegistryStore.h"
#include "platform/StatusTrace.h"
#include "platform/UserPrompts.h"
#include "platform/WindowPlacement.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QProxyStyle>
#include <QScreen>
#include <QToolTip>
#include <QVBoxLayout>

#include <exception>

// Status panel 2: the port name, drawn by the window so it can blink while the session waits
// for its port.
class TStatusPanel2 : public QWidget
{
public:
    explicit TStatusPanel2(QWidget *parent) : QWidget(parent) {}
    void setText(const QString &text)
    {
        m_text = text;
        update();
    }
    QString text() const { return m_text; }
    void setColor(const QColor &color)
    {
        m_color = color;
        update();
    }
    QColor color() const { return m_color; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setPen(m_color);
        p.drawText(rect().adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, m_text);
    }

private:
    QString m_text;
    QColor m_color = Qt::black;
};

namespace {

constexpr int kControlHeight = 33;
constexpr int kPanelHeight = 85;
constexpr int kDataSectionHeight = 19;
constexpr int kRowHeight = 18;
constexpr int kNameColumnMin = 100;
constexpr int kProgressHideMs = 1500;
const QColor kBlinkGrey(0x80, 0x80, 0x80);

QFont uiFont(int points)
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    f.setPointSize(points);
    return f;
}

} // namespace

TGWMainForm::TGWMainForm(Session session, QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("GWMainForm"));
    setProperty("torvaneNoCaption", true); // the title is set from the description file
    setWindowTitle(QStringLiteral("Torvane"));
    setFont(uiFont(9));

    FCOM = session == Session::Program ? std::make_unique<TCOM>() : std::make_unique<TCOM>(nullptr, nullptr);
    FCOM->language = &language;
    FReceiver = std::make_unique<TDeviceReceiver>(*FCOM, &FEEROM);
    FDeviceCommands = std::make_unique<TDeviceCommands>(*FCOM, FEEROM, *FReceiver, *this, &language);

    FEEROM.SetSourceDatei(&FDescription);
    FEEROM.language = &language;
    FProfilMapTool.SetDatei(&FDescription);
    FProfilMapTool.FLanguage = &language;
    FEEROM.ItemTool().FProfilMapTool = &FProfilMapTool;

    createWidgets();
    createActions();
    bindImage();
    enableDeviceCommands(false);
    resize(460, 408 + menuBar()->sizeHint().height() + StatusBar1->sizeHint().height());
}

TGWMainForm::~TGWMainForm()
{
    FEEROM.OnShowRuleChange = nullptr;
    FEEROM.OnEditRuleChange = nullptr;
    if (mMonitor)
        mMonitor->FOnChar = nullptr;
    FDeviceCommands.reset();
    FReceiver.reset();
    FCOM.reset();
}

// ---------------------------------------------------------------------------------------------
// construction

void TGWMainForm::createWidgets()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    pControl = new QFrame(central);
    pControl->setObjectName(QStringLiteral("pControl"));
    pControl->setFixedHeight(kControlHeight);
    pControl->setFrameShape(QFrame::StyledPanel);
    mainControlMoreVisible = new QCheckBox(QStringLiteral("mainControlMoreVisible"), pControl);
    mainControlMoreVisible->setObjectName(QStringLiteral("mainControlMoreVisible"));
    mainControlMoreVisible->move(8, 8);
    mainControlMoreEditable = new QCheckBox(QStringLiteral("mainControlMoreEditable"), pControl);
    mainControlMoreEditable->setObjectName(QStringLiteral("mainControlMoreEditable"));
    mainControlMoreEditable->move(192, 8);
    // Both toggles wait for a master parameter that allows them.
    mainControlMoreVisible->setEnabled(false);
    mainControlMoreEditable->setEnabled(false);
    BitBtnConnectDisconnect = new QPushButton(pControl);
    BitBtnConnectDisconnect->setObjectName(QStringLiteral("BitBtnConnectDisconnect"));
    BitBtnConnectDisconnect->setFixedSize(85, 25);
    pControl->installEventFilter(this);
    layout->addWidget(pControl);

    Splitter1 = new QSplitter(Qt::Vertical, central);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(4);
    Splitter1->setChildrenCollapsible(false);

    DG = new QTableView(Splitter1);
    DG->setObjectName(QStringLiteral("DG"));
    FGridModel = new TParameterGridModel(DG);
    FGridModel->hasImage = [this] { return FEEROM.UseSize() != 0; };
    DG->setModel(FGridModel);
    DG->setItemDelegate(new TParameterGridDelegate(DG));
    DG->setFont(uiFont(8));
    DG->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DG->setSelectionMode(QAbstractItemView::SingleSelection);
    DG->setSelectionBehavior(QAbstractItemView::SelectItems);
    DG->setShowGrid(true);
    DG->setWordWrap(false);
    DG->verticalHeader()->hide();
    DG->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    DG->verticalHeader()->setDefaultSectionSize(kRowHeight);
    DG->horizontalHeader()->setDefaultSectionSize(150);
    DG->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    DG->horizontalHeader()->setHighlightSections(false);
    DG->horizontalHeader()->setFixedHeight(kRowHeight + 2);
    DG->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    DG->setMouseTracking(true);
    DG->installEventFilter(this);
    DG->viewport()->installEventFilter(this);
    DG->setContextMenuPolicy(Qt::CustomContextMenu);
    FGridModel->setHeader(QStringLiteral("mainParameterText"), QStringLiteral("mainValueText"));
    connect(DG, &QTableView::clicked, this, [this](const QModelIndex &) { guarded(QStringLiteral("DGClick"), [this] { DGClick(); }); });
    connect(DG->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &, const QModelIndex &) { guarded(QStringLiteral("DGClick"), [this] { DGClick(); }); });
    connect(DG, &QTableView::doubleClicked, this,
            [this](const QModelIndex &) { guarded(QStringLiteral("DGDblClick"), [this] { DGDblClick(); }); });

    Panel1 = new QFrame(Splitter1);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAutoFillBackground(true);
    QPalette cream = Panel1->palette();
    cream.setColor(QPalette::Window, QColor(0xFF, 0xFB, 0xF0));
    Panel1->setPalette(cream);
    auto *panelLayout = new QVBoxLayout(Panel1);
    panelLayout->setContentsMargins(0, 0, 0, 0);
    panelLayout->setSpacing(0);
    mainControlDatasection = new QLabel(Panel1);
    mainControlDatasection->setObjectName(QStringLiteral("mainControlDatasection"));
    mainControlDatasection->setProperty("torvaneNoCaption", true); // shows the image, not a text
    mainControlDatasection->setFixedHeight(kDataSectionHeight);
    // The image text is far wider than the window: it is cut at the edge, it must not widen it.
    mainControlDatasection->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    mainControlDatasection->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    mainControlDatasection->setTextFormat(Qt::PlainText);
    mainControlDatasection->setContextMenuPolicy(Qt::CustomContextMenu);
    mainControlDatasection->installEventFilter(this);
    mainControlDatasection->hide();
    panelLayout->addWidget(mainControlDatasection);
    mMonitor = new TMyMemo(Panel1);
    mMonitor->setObjectName(QStringLiteral("mMonitor"));
    mMonitor->setFrameShape(QFrame::NoFrame);
    mMonitor->setFont(uiFont(8));
    QPalette face = mMonitor->palette();
    face.setColor(QPalette::Base, face.color(QPalette::Button));
    mMonitor->setPalette(face);
    mMonitor->FOnChar = [this](char c) { guarded(QStringLiteral("mMonitorChar"), [this, c] { mMonitorChar(c); }); };
    panelLayout->addWidget(mMonitor);

    Splitter1->addWidget(DG);
    Splitter1->addWidget(Panel1);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->setSizes({408 - kControlHeight - kPanelHeight, kPanelHeight});
    layout->addWidget(Splitter1, 1);
    setCentralWidget(central);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(true);
    StatusBar1->setAutoFillBackground(true);
    QPalette red = StatusBar1->palette();
    red.setColor(QPalette::Window, Qt::red);
    StatusBar1->setPalette(red);
    const int widths[4] = {200, 80, 50, 100};
    for (int i = 0; i < 4; ++i) {
        if (i == panelPort) {
            FPortPanel = new TStatusPanel2(StatusBar1);
            FPortPanel->setFixedWidth(widths[i]);
            FPortPanel->setMinimumHeight(QFontMetrics(font()).height() + 2);
            StatusBar1->addWidget(FPortPanel);
            continue;
        }
        FPanelLabels[i] = new QLabel(StatusBar1);
        if (i == panelStatus)
            FPanelLabels[i]->setMinimumWidth(widths[i]);
        else
            FPanelLabels[i]->setFixedWidth(widths[i]);
        FPanelLabels[i]->setTextFormat(Qt::PlainText);
        StatusBar1->addWidget(FPanelLabels[i], i == panelStatus ? 1 : 0);
    }
    FProgress = new QProgressBar(StatusBar1);
    FProgress->setObjectName(QStringLiteral("transferProgress"));
    FProgress->setFixedWidth(120);
    FProgress->setMaximumHeight(QFontMetrics(font()).height() + 2);
    FProgress->setTextVisible(false);
    FProgress->hide();
    StatusBar1->addPermanentWidget(FProgress);
    StatusBar1->installEventFilter(this);
    setStatusBar(StatusBar1);

    connect(BitBtnConnectDisconnect, &QPushButton::clicked, this, [this] {
        guarded(QStringLiteral("BitBtnConnectDisconnectClick"), [this] { FDeviceCommands->BitBtnConnectDisconnectClick(); });
    });
    connect(mainControlMoreVisible, &QCheckBox::clicked, this,
            [this] { guarded(QStringLiteral("ShowRuleChanging"), [this] { ShowRuleChanging(mainControlMoreVisible); }); });
    connect(mainControlMoreEditable, &QCheckBox::clicked, this,
            [this] { guarded(QStringLiteral("ShowRuleChanging"), [this] { ShowRuleChanging(mainControlMoreEditable); }); });
}

QAction *TGWMainForm::addAction(QMenu *menu, const QString &name, const QKeySequence &shortcut)
{
    auto *a = new QAction(name, this);
    a->setObjectName(name);
    if (!shortcut.isEmpty())
        a->setShortcut(shortcut);
    menu->addAction(a);
    return a;
}

void TGWMainForm::createActions()
{
    const auto menuOf = [this](const QString &name) {
        QMenu *m = menuBar()->addMenu(name);
        m->setObjectName(name);
        return m;
    };
    const auto device = [this](QAction *a, void (TDeviceCommands::*command)()) {
        connect(a, &QAction::triggered, this, [this, a, command] {
            guarded(a->objectName(), [this, command] {
                // These end by reading the device's configuration into the image.
                const bool replacesImage = command == &TDeviceCommands::mainMenuUploadClick
                                           || command == &TDeviceCommands::mainMenuUploadDebugClick
                                           || command == &TDeviceCommands::mainMenuWriteScriptClick
                                           || command == &TDeviceCommands::mainMenuWriteScriptFastClick
                                           || command == &TDeviceCommands::mainMenuResetDeviceClick;
                if (replacesImage && !installFileCommands(*this).askSaveChanges())
                    return;
                (FDeviceCommands.get()->*command)();
            });
        });
    };

    QMenu *file = menuOf(QStringLiteral("mainmenuFile"));
    addAction(file, QStringLiteral("mainmenuFileOpen"));
    addAction(file, QStringLiteral("mainMenuSave"), QKeySequence(Qt::CTRL | Qt::Key_S));
    addAction(file, QStringLiteral("mainMenuSaveAs"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_S));
    addAction(file, QStringLiteral("mainMenuClose"));
    file->addSeparator();
    device(addAction(file, QStringLiteral("mainMenuUpload"), QKeySequence(Qt::CTRL | Qt::Key_U)), &TDeviceCommands::mainMenuUploadClick);
    device(addAction(file, QStringLiteral("mainMenuDowload"), QKeySequence(Qt::CTRL | Qt::Key_D)), &TDeviceCommands::mainMenuDowloadClick);
    device(addAction(file, QStringLiteral("mainMenuWriteScript"), QKeySequence(Qt::CTRL | Qt::Key_W)),
           &TDeviceCommands::mainMenuWriteScriptClick);
    device(addAction(file, QStringLiteral("mainMenuWriteScriptFast"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_W)),
           &TDeviceCommands::mainMenuWriteScriptFastClick);
    file->addSeparator();
    // Ctrl+Alt+P is the printer set-up's: it comes first in menu order (the Port entry of the
    // Options menu names the same keys but does not receive them).
    addAction(file, QStringLiteral("mainMenuPrinterOptions"), QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_P));
    addAction(file, QStringLiteral("mainMenuPrint"), QKeySequence(Qt::CTRL | Qt::Key_P));
    file->addSeparator();
    QAction *exit = addAction(file, QStringLiteral("mainmenuFileExit"));
    connect(exit, &QAction::triggered, this, [this] {
        // File Exit keeps the placement the last resize stored; only the close box stores it.
        if (FPlacementTimer && FPlacementTimer->isActive()) {
            FPlacementTimer->stop();
            storeWindowPlacement();
        }
        FFileExit = true;
        const bool closed = close(); // the window may keep unsaved changes
        FFileExit = false;
        if (closed)
            QCoreApplication::exit(0);
    });

    mainmenuOptions = menuOf(QStringLiteral("mainmenuOptions"));
    connect(mainmenuOptions, &QMenu::aboutToShow, this,
            [this] { guarded(QStringLiteral("mainmenuOptionsClick"), [this] { mainmenuOptionsClick(); }); });
    addAction(mainmenuOptions, QStringLiteral("mainMenuConfigFile"), QKeySequence(Qt::CTRL | Qt::Key_C));
    addAction(mainmenuOptions, QStringLiteral("mainMenuPort"));
    device(addAction(mainmenuOptions, QStringLiteral("mainMenuResetDevice")), &TDeviceCommands::mainMenuResetDeviceClick);
    mainmenuOptions->addSeparator();
    addAction(mainmenuOptions, QStringLiteral("mainMenuGenerateEDS"))->setEnabled(false);

    QMenu *extras = menuOf(QStringLiteral("mainmenuExtras"));
    addAction(extras, QStringLiteral("mainMenuExtensions"));
    extras->addSeparator();
    device(addAction(extras, QStringLiteral("mainMenuUploadDebug")), &TDeviceCommands::mainMenuUploadDebugClick);
    device(addAction(extras, QStringLiteral("mainMenuDownloadDebug")), &TDeviceCommands::mainMenuDownloadDebugClick);

    QMenu *help = menuOf(QStringLiteral("mainmenuHelp"));
    QAction *about = addAction(help, QStringLiteral("mainMenuAbout"));
    connect(about, &QAction::triggered, this, [this] { guarded(QStringLiteral("mainMenuAboutClick"), [this] { mainMenuAboutClick(); }); });
    actHelp = addAction(help, QStringLiteral("mainMenuContents"));
    connect(actHelp, &QAction::triggered, this, [this] { guarded(QStringLiteral("actHelpExecute"), [this] { actHelpExecute(); }); });

    PopupDatenbereich = new QMenu(this);
    PopupDatenbereich->setObjectName(QStringLiteral("PopupDatenbereich"));
    QAction *copy = addAction(PopupDatenbereich, QStringLiteral("popupDataSectionCopyToClipboard"));
    connect(copy, &QAction::triggered, this,
            [this] { guarded(QStringLiteral("popupDataSectionCopyToClipboardClick"), [this] { popupDataSectionCopyToClipboardClick(); }); });
    actContextSensitiveHelp = addAction(PopupDatenbereich, QStringLiteral("popupDataSectionHelpForParam"));
    connect(actContextSensitiveHelp, &QAction::triggered, this,
            [this] { guarded(QStringLiteral("actContextSensitiveHelpExecute"), [this] { actContextSensitiveHelpExecute(); }); });
    const auto popup = [this](QWidget *w) {
        connect(w, &QWidget::customContextMenuRequested, this, [this, w](const QPoint &pos) {
            PopupDatenbereich->popup((w == DG ? DG->viewport() : w)->mapToGlobal(pos));
        });
    };
    popup(DG);
    popup(mainControlDatasection);
}

void TGWMainForm::bindImage()
{
    FEEROM.OnShowRuleChange = [this](TObject *) { ShowRuleChanging(nullptr); };
    FEEROM.OnEditRuleChange = [this](TObject *) { EditRuleChanging(); };
    FReceiver->Install();
    FDeviceCommands->BindEvents();
}

QAction *TGWMainForm::action(const QString &objectName) const
{
    return findChild<QAction *>(objectName);
}

QAction *TGWMainForm::deviceAction(TDeviceCommand command) const
{
    static const char *const names[] = {"mainMenuUpload",      "mainMenuDowload",     "mainMenuWriteScript",  "mainMenuResetDevice",
                                        "mainMenuExtensions", "mainMenuUploadDebug", "mainMenuDownloadDebug"};
    if (command < mainMenuUpload || command > mainMenuDownloadDebug)
        return nullptr;
    return action(QString::fromLatin1(names[command]));
}

// ---------------------------------------------------------------------------------------------
// start-up steps

bool TGWMainForm::initLanguage(const QString &langDir)
{
    language.setLangDir(langDir);
    buildLanguageMenu(); // discovers the languages
    language.readDefaultLang();
    QString lang = RegistryStore::user().readString(language.registryPath, QStringLiteral("UserLang")).value_or(QString());
    if (lang.isEmpty() || !language.readFile(lang))
        lang = language.defaultLangStr;
    initCaptions(lang);
    if (mainmenuLanguage)
        mainmenuLanguage->setTitle(translate(QStringLiteral("mainmenuLanguage")));
    FGridModel->setHeader(translate(QStringLiteral("mainParameterText")), translate(QStringLiteral("mainValueText")));
    FHelpFile = translate(QStringLiteral("helpFileName"));
    showImageSize(0);
    return !language.Flanguages.isEmpty();
}

bool TGWMainForm::openDescription(const QString &path, QString *error)
{
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    if (path.isEmpty())
        return fail(QStringLiteral("No description file is set."));
    if (!QFileInfo(path).isFile())
        return fail(QStringLiteral("%1 %2").arg(path, translate(QStringLiteral("exceptionSettingsNotFound"))));
    IniFile loaded;
    if (!loaded.load(path))
        return fail(QStringLiteral("Cannot read the description file \"%1\".").arg(path));
    FEEROM.Clear();
    FDescription = std::move(loaded);
    FEEROM.SetSourceDatei(&FDescription);
    FProfilMapTool.SetDatei(&FDescription);
    FDescriptionFilePath = path;
    FDeviceCommands->universalscriptname = ProgramSettings::universalScriptName(FDescription);
    SetPanelText(panelVersion, FormatText(QStringLiteral("V %s [TCF %s]"),
                                          {ProductVersion(), ProgramSettings::configFileVersion(FDescription)}));
    setWindowTitle(QStringLiteral("TORVANE  (%1)").arg(QFileInfo(path).fileName()));
    FEdsTemplateFor.clear();
    refreshGrid();
    return true;
}

void TGWMainForm::openPort(const QString &portName)
{
    TSerialSettings &s = FCOM->Settings;
    TSerialSettings defaults;
    defaults.StandardSerialOptions();
    s.Read(RegistryStore::user());
    const std::pair<TSelectionList *, const TSelectionList *> lists[] = {
        {&s.PortNumber, &defaults.PortNumber}, {&s.Baudrate, &defaults.Baudrate}, {&s.Startbits, &defaults.Startbits},
        {&s.StopBits, &defaults.StopBits},     {&s.Datenbits, &defaults.Datenbits}, {&s.Parity, &defaults.Parity}};
    for (const auto &[list, fallback] : lists) {
        if (list->Items.isEmpty())
            list->Items = fallback->Items;
        if (list->Text.isEmpty())
            list->Text = fallback->Text;
    }
    if (!portName.isEmpty()) // "offline" is the one entry in lower case
        s.PortNumber.Text = portName.compare(TSerialSettings::kOffline, Qt::CaseInsensitive) == 0 ? TSerialSettings::kOffline
                                                                                               : portName.toUpper();

    guarded(QStringLiteral("ApplySettings"), [this] { FCOM->ApplySettings(); });
    LinkWait::handlePendingEvents();
    if (FCOM->Settings.PortNumber.Text == TSerialSettings::kOffline) {
        enableDeviceCommands(false);
        StatusText(QStringLiteral(" "));
        UserPrompts::instance().showMessage(translate(QStringLiteral("messageTorvaneStartetdOffline")),
                                            translate(QStringLiteral("messageCaptionWarning")), PromptIcon::Warning);
    }
    SetPanelText(panelPort, FCOM->Settings.PortNumber.Text);
    FDeviceCommands->ShowConnectState();
}

void TGWMainForm::setDebugView(bool on)
{
    FDebugansicht = on;
    mainControlDatasection->setVisible(on);
    refreshGrid();
}

void TGWMainForm::portSettingsClosed(bool confirmed)
{
    if (confirmed) {
        guarded(QStringLiteral("mainMenuPortClick"), [this] {
            FCOM->ApplySettings();
            FDeviceCommands->ShowConnectState();
        });
    }
    SetPanelText(panelPort, FCOM->Settings.PortNumber.Text);
}

void TGWMainForm::guarded(const QString &what, const std::function<void()> &command)
{
    QString failure;
    try {
        command();
        return;
    } catch (const TorvaneError &e) {
        failure = e.message();
    } catch (const std::exception &e) {
        failure = QString::fromLocal8Bit(e.what());
    } catch (...) {
        failure = QStringLiteral("Unknown error in %1").arg(what);
    }
    statusTrace().logStringWithTime(what + QStringLiteral(": ") + failure);
    UserPrompts::instance().setBusy(false);
    UserPrompts::instance().showMessage(failure, QString(), PromptIcon::Error);
    UserPrompts::instance().setBusy(false);
}

// ---------------------------------------------------------------------------------------------
// status bar

void TGWMainForm::StatusText(const QString &text)
{
    // Shown at once, also while a long operation keeps the event loop busy.
    LinkWait::handlePendingEvents();
    // Every transfer ends with a status text (finished, time-out, error): the progress bar
    // goes with it, and comes back with the next progress report.
    if (FProgressHide)
        FProgressHide->stop();
    FProgress->hide();
    FPanels[panelStatus] = text;
    FPanelLabels[panelStatus]->setText(text);
    LinkWait::handlePendingEvents();
    StatusBar1->repaint();
    LinkWait::handlePendingEvents();
}

QString TGWMainForm::StatusText() const
{
    return FPanels[panelStatus];
}

void TGWMainForm::SetPanelText(int panel, const QString &text)
{
    if (panel < 0 || panel > 3)
        return;
    if (panel == panelStatus) {
        StatusText(text);
        return;
    }
    FPanels[panel] = text;
    if (panel == panelPort)
        FPortPanel->setText(text);
    else
        FPanelLabels[panel]->setText(text);
}

QString TGWMainForm::PanelText(int panel) const
{
    return panel >= 0 && panel <= 3 ? FPanels[panel] : QString();
}

void TGWMainForm::RepaintStatusBar()
{
    // The port panel: grey and black in turn while the session counts its waits for the port.
    const int32_t waiting = FDeviceCommands->waitingForCom;
    QColor color = Qt::black;
    if (waiting > 0) {
        enableDeviceCommands(false);
        if (waiting != FLastWaiting)
            statusTrace().logStringOnly(QStringLiteral(" tag %1").arg(waiting));
        if (waiting % 2)
            color = kBlinkGrey;
    } else if (FLastWaiting > 0 && FCOM->IsOpen()) {
        // The wait is over and the port is back: so are the commands.
        enableDeviceCommands(true);
    }
    FLastWaiting = waiting;
    FPortPanel->setColor(color);
    QPalette pal = BitBtnConnectDisconnect->palette();
    pal.setColor(QPalette::ButtonText, color);
    BitBtnConnectDisconnect->setPalette(pal);
    StatusBar1->repaint();
    LinkWait::handlePendingEvents();
}

QColor TGWMainForm::PortPanelColor() const
{
    return FPortPanel->color();
}

void TGWMainForm::showImageSize(uint16_t count)
{
    FDeviceCommands->showImageSize(count);
}

void TGWMainForm::TransferProgress(qint64 done, qint64 total)
{
    if (total > 0) {
        FProgress->setRange(0, int(qMin<qint64>(total, INT_MAX)));
        FProgress->setValue(int(qBound<qint64>(0, done, total)));
    } else {
        FProgress->setRange(0, 0); // size not known yet: the bar runs to show that bytes arrive
    }
    FProgress->show();
    if (!FProgressHide) {
        FProgressHide = new QTimer(this);
        FProgressHide->setSingleShot(true);
        connect(FProgressHide, &QTimer::timeout, FProgress, &QWidget::hide);
    }
    // Hidden again when the transfer is complete or no byte came for a while (also after a
    // pulled cable), so the bar never stays behind.
    FProgressHide->start(total > 0 && done >= total ? 300 : kProgressHideMs);
}

bool TGWMainForm::ProgressVisible() const
{
    return FProgress->isVisibleTo(const_cast<TGWMainForm *>(this));
}

void TGWMainForm::StatusBar1DblClick()
{
    UserPrompts::instance().message(QStringLiteral("Extended Versionsinformation"), THelpAbout::versionString(QStringLiteral("Comments")),
                                    PromptIcon::Information, {PromptButton::Ok}, PromptButton::Ok);
}

// ---------------------------------------------------------------------------------------------
// connect button and device commands

QString TGWMainForm::ConnectCaption() const
{
    return BitBtnConnectDisconnect->text();
}

void TGWMainForm::SetConnectCaption(const QString &caption)
{
    BitBtnConnectDisconnect->setText(caption);
    // The button says "connected" whenever the port is (back) open: the device commands come
    // back with it. (They are not switched on by mere repaints, which would also enable them
    // in the middle of a transfer or with the port closed.)
    if (caption == translate(QStringLiteral("BitBtnConnect")) && FCOM->IsOpen() && FDeviceCommands->waitingForCom <= 0)
        enableDeviceCommands(true);
}

void TGWMainForm::enableDeviceCommands(bool enable)
{
    for (int c = mainMenuUpload; c <= mainMenuDownloadDebug; ++c)
        EnableCommand(TDeviceCommand(c), enable);
}

void TGWMainForm::EnableCommand(TDeviceCommand command, bool enable)
{
    if (QAction *a = deviceAction(command))
        a->setEnabled(enable);
}

void TGWMainForm::EnableGrid(bool enable)
{
    DG->setEnabled(enable);
}

bool TGWMainForm::MonitorVisible() const
{
    return mMonitor->isVisibleTo(const_cast<TGWMainForm *>(this));
}

void TGWMainForm::Output(const QString &text)
{
    mMonitor->Output(text);
}

void TGWMainForm::ShowStateWindow()
{
    TStatusFenster::instance().showWindow();
}

void TGWMainForm::mMonitorChar(char c)
{
    if (FCOM->IsOpen() && FDeviceCommands->waitingForCom <= 0)
        FCOM->PutChar(c);
}

// ---------------------------------------------------------------------------------------------
// grid

bool TGWMainForm::isEditable(TItem *item) const
{
    if (!item)
        return false;
    switch (item->GetVisualRule()) {
    case vrAlwaysEdit:
    case vrAlwaysDependendEdit:
    case vrMasterItem:
        return true;
    case vrEdit:
        if (mainControlMoreEditable->isChecked())
            return true;
        break;
    default:
        break;
    }
    return FDebugansicht;
}

TItem *TGWMainForm::itemOfRow(int row) const
{
    const TParameterGridModel::Row *r = FGridModel->row(row - 1);
    if (!r || r->name.isEmpty())
        return nullptr;
    return FEEROM.ItemList.GetByName(r->name);
}

void TGWMainForm::refreshGrid()
{
    if (FEEROM.UseSize() == 0)
        return;
    if (m_refreshDepth > 2) // a toggle unchecked by a master parameter refreshes once more
        return;
    ++m_refreshDepth;
    struct Depth {
        int &d;
        ~Depth() { --d; }
    } depth{m_refreshDepth};

    const bool moreVisible = mainControlMoreVisible->isChecked();
    const bool extendedFlags = FEEROM.GetByteIDX(1) >= 100;
    const int32_t flags = FEEROM.GetByteIDX(4) & 0x1B;
    bool toggleUnchecked = false;

    QVector<TParameterGridModel::Row> rows;
    rows.reserve(FEEROM.ItemList.Count());
    int rowCount = 1;
    for (const auto &owned : FEEROM.ItemList) {
        TItem *item = owned.get();
        const TVisualRule rule = item->GetVisualRule();
        bool show = false;
        switch (rule) {
        case vrAlwaysEdit:
        case vrAlwaysShow:
        case vrAlwaysDependendEdit:
        case vrMasterItem:
            show = true;
            ++rowCount;
            break;
        case vrEdit:
        case vrShow:
            ++rowCount;
            show = moreVisible;
            break;
        default:
            break;
        }
        if (!show)
            continue;
        // showItemValue
        if (extendedFlags)
            item->flagreg = flags;
        TParameterGridModel::Row row;
        row.name = item->Identifier();
        row.value = item->GetText();
        if (rule == vrMasterItem) {
            const uint8_t b = FEEROM.GetByteIDX(item->Position);
            const bool allowed = b < 0x20 || b >= 0x80;
            for (QCheckBox *toggle : {mainControlMoreVisible, mainControlMoreEditable}) {
                toggle->setEnabled(allowed);
                if (!allowed && toggle->isChecked()) {
                    const QSignalBlocker block(toggle);
                    toggle->setChecked(false);
                    toggleUnchecked = true;
                }
            }
        }
        row.bold = isEditable(item);
        rows.append(std::move(row));
    }
    // One blank row at the bottom for every hidden vrEdit/vrShow parameter.
    // The current cell stays where it was (the editor's row stays selected after editing).
    const QModelIndex current = DG->currentIndex();
    FGridModel->setRows(std::move(rows), rowCount - 1);
    if (current.isValid() && current.row() < FGridModel->rowCount()) {
        const QSignalBlocker block(DG->selectionModel());
        DG->selectionModel()->setCurrentIndex(FGridModel->index(current.row(), current.column()),
                                              QItemSelectionModel::ClearAndSelect);
    }

    refreshDataSection();
    showImageSize(uint16_t(qBound(0, FEEROM.UseSize(), 0xFFFF)));

    QAction *eds = action(QStringLiteral("mainMenuGenerateEDS"));
    if (eds) {
        const QString key = EdsGeneration::TemplateKey(FEEROM.deviceId);
        if (!FEdsTemplateFor.contains(key))
            FEdsTemplateFor.insert(key, !EdsGeneration::FindTemplate(key, EdsTemplateDir()).isEmpty());
        eds->setEnabled(!FEEROM.deviceId.isEmpty() && FEdsTemplateFor.value(key));
    }
    fitColumnWidths();

    if (toggleUnchecked)
        refreshGrid(); // the rows that the unchecked toggle showed go away
}

QString TGWMainForm::EdsTemplateDir() const
{
    return FEdsTemplateDir.isEmpty() ? TEdsGenerate::defaultTemplateDir() : FEdsTemplateDir;
}

void TGWMainForm::setEdsTemplateDir(const QString &dir)
{
    FEdsTemplateDir = dir;
    FEdsTemplateFor.clear(); // the answers of the old folder
}

void TGWMainForm::refreshDataSection()
{
    if (mainControlDatasection->isVisibleTo(this))
        mainControlDatasection->setText(FEEROM.GetAsString());
}

void TGWMainForm::fitColumnWidths()
{
    if (FEEROM.UseSize() == 0 || FGridModel->rowCount() == 0)
        return;
    const QFontMetrics metrics(font());
    int widest = 0;
    for (const auto &item : FEEROM.ItemList)
        widest = qMax(widest, metrics.horizontalAdvance(item->Identifier()));
    const int first = qMax(kNameColumnMin, widest + 5);
    DG->setColumnWidth(0, first);
    DG->setColumnWidth(1, qMax(0, DG->viewport()->width() - first));
}

void TGWMainForm::ShowRuleChanging(QObject *sender)
{
    refreshGrid();
    if (sender == mainControlMoreEditable && mainControlMoreEditable->isChecked() && !mainControlMoreVisible->isChecked()) {
        mainControlMoreVisible->setChecked(true);
        ShowRuleChanging(mainControlMoreVisible);
    } else if (sender == mainControlMoreVisible && !mainControlMoreVisible->isChecked() && mainControlMoreEditable->isChecked()) {
        mainControlMoreEditable->setChecked(false);
        ShowRuleChanging(mainControlMoreEditable);
    }
}

void TGWMainForm::EditRuleChanging()
{
    refreshGrid();
}

bool TGWMainForm::DGSelectCell(int col, int row) const
{
    return col == 1 && row > 0;
}

void TGWMainForm::setHelpFromItem(TItem *item)
{
    if (item) {
        FGridHelpContext = item->HelpContextNumber();
        FGridHint = item->Hint;
    } else {
        FGridHelpContext = 1;
        FGridHint.clear();
    }
}

void TGWMainForm::DGClick()
{
    const QModelIndex current = DG->currentIndex();
    if (!current.isValid())
        return;
    TItem *item = itemOfRow(current.row() + 1);
    setHelpFromItem(item);
    StatusText(item ? item->Identifier() : QString());
}

void TGWMainForm::DGDblClick()
{
    const QModelIndex current = DG->currentIndex();
    if (!current.isValid() || current.column() == 0)
        return;
    const int row = current.row() + 1;
    TItem *item = itemOfRow(row);
    if (isEditable(item)) {
        const QString name = item->Identifier();
        FEEROM.UserEdit([this, item] { item->Edit(EditPos); });
        refreshGrid();
        setHelpFromItem(FEEROM.ItemList.GetByName(name));
        return;
    }
    StatusText(item ? FormatText(translate(QStringLiteral("exceptionEditingImpossible")), {item->Identifier()}) : QString());
    setHelpFromItem(nullptr);
}

void TGWMainForm::recordEditPos(const QRect &cellRect)
{
    // The viewport's own mapping already accounts for the control bar above the grid.
    EditPos = DG->viewport()->mapToGlobal(cellRect.bottomLeft());
}

namespace {

// The application's hint pause: Qt reads the wait before a tooltip from the style, so the
// application's style is wrapped once and answers with the pause the grid asked for.
class THintPauseStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;
    int pause = 700;
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_ToolTip_WakeUpDelay)
            return pause;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

void setApplicationHintPause(int ms)
{
    auto *style = dynamic_cast<THintPauseStyle *>(QApplication::style());
    if (!style) {
        style = new THintPauseStyle(QApplication::style()->name());
        QApplication::setStyle(style); // the application owns it
    }
    style->pause = ms;
}

} // namespace

void TGWMainForm::DGMouseMove(const QPoint &viewportPos)
{
    FHintPause = 200;
    setApplicationHintPause(FHintPause);
    FHintDisplayTime = 1000;
    const QModelIndex index = DG->indexAt(viewportPos);
    if (!index.isValid() || index.column() != 1)
        return;
    FHintsOn = false;
    TItem *item = itemOfRow(index.row() + 1);
    if (!item)
        return;
    const QString text = translate(item->Hint);
    if (text.size() > 300)
        FHintDisplayTime = 10000;
    else if (text.size() > 100)
        FHintDisplayTime = 5000;
    FHintsOn = true;
    if (text != FLastHint)
        QToolTip::hideText(); // the new hint replaces the one being shown
    FLastHint = text;
}

// ---------------------------------------------------------------------------------------------
// menus, help, data section

void TGWMainForm::mainmenuOptionsClick()
{
    if (FEEROM.ItemList.Count() > 0)
        FDeviceCommands->universal = FEEROM.GetByteIDX(5) == 0x5C;
}

void TGWMainForm::mainMenuAboutClick()
{
    THelpAbout::showAbout(this);
}

void TGWMainForm::actHelpExecute()
{
    statusTrace().logStringOnly(QStringLiteral("Help execute ") + FHelpFile);
    THelpViewer::instance().showContents();
}

void TGWMainForm::actContextSensitiveHelpExecute()
{
    const QModelIndex current = DG->currentIndex();
    if (!current.isValid())
        return;
    TItem *item = itemOfRow(current.row() + 1);
    if (!item)
        return;
    const QString topic = translate(item->HelpURL());
    statusTrace().logStringOnly(QStringLiteral("Help URL ") + topic);
    THelpViewer::instance().showTopic(topic);
}

void TGWMainForm::openHelpContext(int context)
{
    THelpViewer::instance().showContext(context);
}

void TGWMainForm::popupDataSectionCopyToClipboardClick()
{
    QApplication::clipboard()->setText(FEEROM.GetAsString());
}

void TGWMainForm::mainControlDatasectionDblClick()
{
    ShowStateWindow();
}

// ---------------------------------------------------------------------------------------------
// language

void TGWMainForm::buildLanguageMenu()
{
    if (!language.initLangs()) {
        UserPrompts::instance().showMessage(
            QStringLiteral("Error while initialising the application. Please make sure that at least one file is located in "
                           "the applications subdirectory \\lang"),
            QStringLiteral("Error"), PromptIcon::Error);
        return;
    }
    if (language.Flanguages.size() <= 1 || mainmenuLanguage)
        return;
    mainmenuLanguage = menuBar()->addMenu(QStringLiteral("mainmenuLanguage"));
    mainmenuLanguage->setObjectName(QStringLiteral("mainmenuLanguage"));
    for (const QString &name : std::as_const(language.Flanguages)) {
        auto *a = new QAction(name, mainmenuLanguage);
        a->setObjectName(name);
        a->setProperty("torvaneNoCaption", true); // a language is called by its own name
        mainmenuLanguage->addAction(a);
        connect(a, &QAction::triggered, this,
                [this, name] { guarded(QStringLiteral("changeLanguage"), [this, name] { changeLanguage(name); }); });
    }
}

void TGWMainForm::initCaptions(const QString &lang)
{
    TWidgetCaptions window(this);
    language.initCaptions(&window, lang);
}

void TGWMainForm::changeLanguage(const QString &lang)
{
    initCaptions(lang);
    if (mainmenuLanguage)
        mainmenuLanguage->setTitle(translate(QStringLiteral("mainmenuLanguage")));
    FHelpFile = translate(QStringLiteral("helpFilename"));
    // The connect button shows the state in the new language.
    FDeviceCommands->ShowConnectState();
    LinkWait::handlePendingEvents();
}

// ---------------------------------------------------------------------------------------------
// events

bool TGWMainForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == pControl && event->type() == QEvent::Resize) {
        BitBtnConnectDisconnect->move(pControl->width() - BitBtnConnectDisconnect->width() - 4,
                                      (pControl->height() - BitBtnConnectDisconnect->height()) / 2);
    } else if (watched == DG->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const auto *me = static_cast<QMouseEvent *>(event);
            const QModelIndex index = DG->indexAt(me->position().toPoint());
            if (index.isValid())
                recordEditPos(DG->visualRect(index));
            break;
        }
        case QEvent::MouseMove:
            guarded(QStringLiteral("DGMouseMove"), [this, event] { DGMouseMove(static_cast<QMouseEvent *>(event)->position().toPoint()); });
            break;
        case QEvent::ToolTip: {
            const auto *he = static_cast<QHelpEvent *>(event);
            if (FHintsOn && !FLastHint.isEmpty())
                QToolTip::showText(he->globalPos(), FLastHint, DG->viewport(), {}, FHintDisplayTime);
            else
                QToolTip::hideText();
            return true;
        }
        case QEvent::Resize:
            fitColumnWidths();
            break;
        default:
            break;
        }
    } else if (watched == DG) {
        if (event->type() == QEvent::KeyPress) {
            const auto *ke = static_cast<QKeyEvent *>(event);
            if (DG->currentIndex().isValid())
                recordEditPos(DG->visualRect(DG->currentIndex()));
            if (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter) {
                fEditing = true;
                return true;
            }
            if (ke->key() == Qt::Key_F1) {
                guarded(QStringLiteral("F1"), [this] { openHelpContext(FGridHelpContext); });
                return true;
            }
        } else if (event->type() == QEvent::KeyRelease) {
            const auto *ke = static_cast<QKeyEvent *>(event);
            if (!ke->isAutoRepeat()) {
                const bool enter = (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter) && fEditing;
                fEditing = false;
                if (enter) {
                    guarded(QStringLiteral("DGDblClick"), [this] { DGDblClick(); });
                    return true;
                }
            }
        }
    } else if (watched == mainControlDatasection && event->type() == QEvent::MouseButtonDblClick) {
        guarded(QStringLiteral("mainControlDatasectionDblClick"), [this] { mainControlDatasectionDblClick(); });
        return true;
    } else if (watched == StatusBar1 && event->type() == QEvent::MouseButtonDblClick) {
        guarded(QStringLiteral("StatusBar1DblClick"), [this] { StatusBar1DblClick(); });
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TGWMainForm::closeEvent(QCloseEvent *event)
{
    // Leaving drops the image: changes not saved yet are the user's to keep or discard.
    if (!installFileCommands(*this).askSaveChanges()) {
        event->ignore();
        return;
    }
    if (!FFileExit)
        storeWindowPlacement();
    event->accept();
}

void TGWMainForm::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    fitColumnWidths();
    if (FStoresPlacement) {
        // A drag delivers a resize per pixel; one store when it has settled is enough.
        if (!FPlacementTimer) {
            FPlacementTimer = new QTimer(this);
            FPlacementTimer->setSingleShot(true);
            FPlacementTimer->setInterval(250);
            connect(FPlacementTimer, &QTimer::timeout, this, [this] { storeWindowPlacement(); });
        }
        FPlacementTimer->start();
    }
}

// ---------------------------------------------------------------------------------------------
// window placement

namespace {
QList<QRect> screenRects()
{
    QList<QRect> rects;
    for (const QScreen *screen : QGuiApplication::screens())
        rects << screen->geometry();
    return rects;
}
} // namespace

void TGWMainForm::restoreWindowPlacement()
{
    RegistryStore store = RegistryStore::user();
    const WindowPlacement::Stored stored = WindowPlacement::read(store, language.registryPath);
    if (!stored.problem.isEmpty()) // damaged values are left for the next close to replace
        statusTrace().logStringOnly(QStringLiteral("Window placement ignored: ") + stored.problem);
    const QList<QRect> screens = screenRects();
    const WindowPlacement::Restore r = WindowPlacement::plan(stored, screens);
    if (r.setBounds)
        setGeometry(r.bounds);
    if (r.maximiseOn)
        setWindowState(windowState() | Qt::WindowMaximized);
    else if (r.state == WindowPlacement::Minimised)
        setWindowState(windowState() | Qt::WindowMinimized);
}

void TGWMainForm::storeWindowPlacement()
{
    if (DG->isVisible())
        fitColumnWidths();
    const Qt::WindowStates ws = windowState();
    const WindowPlacement::State state = ws & Qt::WindowMinimized   ? WindowPlacement::Minimised
                                         : ws & Qt::WindowMaximized ? WindowPlacement::Maximised
                                                                    : WindowPlacement::Normal;
    const QRect bounds = state == WindowPlacement::Normal ? geometry() : normalGeometry();
    RegistryStore store = RegistryStore::user();
    QString why;
    if (!WindowPlacement::store(store, language.registryPath, bounds, state, screenRects(), &why)) {
        statusTrace().logStringOnly(QStringLiteral("Window placement not stored: ") + why);
        UserPrompts::instance().showMessage(QStringLiteral("Can not store window position and size in registry!"));
    }
}

QString TGWMainForm::ProductVersion()
{
#ifdef TORVANE_VERSION
    return QStringLiteral(TORVANE_VERSION);
#else
    return QStringLiteral("0");
#endif
}
