#include "app/MainForm.h"

#include "app/CaptionLabel.h"
#include "app/Scheduling.h"
#include "character/CharacterWindow.h"
#include "mail/CheckCycle.h"
#include "platform/BannerStrip.h"
#include "platform/Fonts.h"
#include "platform/Mci.h"
#include "platform/Pop3Library.h"
#include "platform/Ras.h"
#include "platform/Runtime.h"
#include "platform/Twips.h"
#include "settings/IdPassForm.h"
#include "settings/OptionForm.h"
#include "settings/SaveFailure.h"
#include "settings/SettingsFiles.h"
#include "sound/TuneController.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMovie>
#include <QPushButton>
#include <QTimer>

// The pictures are built into a static library, so they are registered by hand.
static void InitPellowayResources()
{
    Q_INIT_RESOURCE(pelloway);
}

namespace pelloway {

namespace {

// The design's outer sizes include a classic frame: 3-pixel borders, an 18-pixel caption
// and a 19-pixel menu bar. Our menu bar and the window manager's frame come on top of the
// client area, so the client keeps the size the design shows whatever the desktop's frame.
constexpr int FrameWidthTwips = 2 * 3 * 15;
constexpr int FrameHeightTwips = (18 + 19 + 2 * 3) * 15;

QPushButton* pictureButton(QWidget* parent, const QString& image, int left)
{
    auto* button = new QPushButton(parent);
    button->setIcon(QIcon(image));
    button->setIconSize(QSize(22, 22));
    button->setFlat(true);
    PlaceTwips(button, left, 6000, 315, 315);
    return button;
}

QPushButton* commandButton(QWidget* parent, const QString& caption, int left, int top)
{
    auto* button = new QPushButton(caption, parent);
    PlaceTwips(button, left, top, 1215, 375);
    return button;
}

} // namespace

MainForm::MainForm(SettingsFiles& files, MainFormServices services)
    : m_files(files), m_services(services), m_setForm([this] { return new SetForm(m_files, *this); }),
      m_optionForm([this] { return new OptionForm(m_values, m_files); }),
      m_idPassForm([this] { return new IdPassForm(m_values, m_files); }),
      m_check(std::make_unique<CheckCycle>(services.pop3, files, m_values, *this))
{
    setWindowTitle(QStringLiteral("Pelloway"));
    InitPellowayResources();
    setWindowIcon(QIcon(QStringLiteral(":/pelloway/pelloway.png")));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    buildControls();
}

MainForm::~MainForm() = default;

void MainForm::buildControls()
{
    auto* viewport = new QWidget(this);
    viewport->setAutoFillBackground(true);
    QPalette dark = viewport->palette();
    dark.setColor(QPalette::Window, QColor(0x40, 0x00, 0x00)); // 0x000040
    viewport->setPalette(dark);
    setCentralWidget(viewport);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    Surface = new QWidget(viewport);
    PlaceTwips(Surface, 0, 0, 5685, 5175);

    Picture2 = new QFrame(Surface);
    PlaceTwips(Picture2, 0, 0, 3015, 2895);
    Picture2->setAutoFillBackground(true);
    Picture2->setPalette(QPalette(QColor(Qt::white)));
    WebBrowser1 = new QLabel(Picture2);
    WebBrowser1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    WebBrowser1->setGeometry(Picture2->rect());
    m_movie = new QMovie(this);
    m_movie->setCacheMode(QMovie::CacheAll);

    Picture4 = new QFrame(Surface);
    PlaceTwips(Picture4, 0, 1440, 1575, 735);
    Picture4->setAutoFillBackground(true);
    Picture4->setPalette(QPalette(QColor(0xC0, 0xC0, 0xC0)));
    Picture5 = new QLabel(Picture4);
    PlaceTwips(Picture5, 0, 0, 1575, 255);
    Picture5->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Picture5->setPixmap(QPixmap(QStringLiteral(":/pelloway/banner.png")));
    // The strip covers its area: the caption's moves repaint it alone, not the frames below.
    Picture5->setAttribute(Qt::WA_OpaquePaintEvent);
    Label1 = new CaptionLabel(QStringLiteral("インターバルチェック"), Picture5);
    m_label1Left = BannerStartLeft;
    PlaceTwips(Label1, m_label1Left, 0, 1695, 255);
    Label1->setFont(DesignFont(8.25, true));
    // A palette rather than a style sheet: the caption repaints 50 times a second.
    QPalette green = Label1->palette();
    green.setColor(QPalette::WindowText, QColor(0x00, 0xFF, 0x00));
    Label1->setPalette(green);
    m_bannerStrip = std::make_unique<PaintedBannerStrip>(Label1);

    const QString blue = QStringLiteral("color: #0000ff; background: transparent;");
    Label2_1 = new QLabel(QStringLiteral("ON"), Picture4);
    PlaceTwips(Label2_1, 40, 300, 375, 255);
    Label2_1->setStyleSheet(blue);
    Label2_1->setFont(DesignFont(9));
    Check3 = new QCheckBox(Picture4);
    PlaceTwips(Check3, 400, 300, 255, 180);
    Text5 = new QLineEdit(Picture4);
    PlaceTwips(Text5, 700, 300, 495, 270);
    Text5->setFont(DesignFont(9));
    Text5->setFrame(false);
    Label2_0 = new QLabel(QStringLiteral("分"), Picture4);
    PlaceTwips(Label2_0, 1260, 300, 375, 255);
    Label2_0->setStyleSheet(blue);
    Label2_0->setFont(DesignFont(9));

    // State holders and commands beyond the visible corner.
    Text1 = new QLineEdit(QStringLiteral("Text1"), Surface);
    PlaceTwips(Text1, 3240, 120, 975, 285);
    Text4 = new QLineEdit(QStringLiteral("Text4"), Surface);
    PlaceTwips(Text4, 3240, 480, 975, 285);
    Command4 = commandButton(Surface, QStringLiteral("再生"), 3240, 960);
    Command6 = commandButton(Surface, QStringLiteral("停止"), 3240, 1440);
    Check1 = new QCheckBox(QStringLiteral("ループ"), Surface);
    PlaceTwips(Check1, 3240, 1920, 1215, 255);
    Check1->setChecked(true);
    Command5 = commandButton(Surface, QStringLiteral("切断"), 3240, 2400);
    Command1 = commandButton(Surface, QStringLiteral("Command1"), 3240, 2880);
    Command2 = commandButton(Surface, QStringLiteral("元のサイズ"), 3240, 3360);
    Picture7 = pictureButton(Surface, QStringLiteral(":/pelloway/check.png"), 120);
    Picture1 = pictureButton(Surface, QStringLiteral(":/pelloway/settings.png"), 480);
    Picture10 = pictureButton(Surface, QStringLiteral(":/pelloway/home.png"), 840);
    Picture8 = pictureButton(Surface, QStringLiteral(":/pelloway/topmost.png"), 1200);

    connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });
    connect(Command6, &QPushButton::clicked, this, [this] { Command6_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command5, &QPushButton::clicked, this, [this] { Command5_Click(); });
    connect(Picture7, &QPushButton::clicked, this, [this] { Picture7_Click(); });

    buildMenus();

    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
    Timer2 = new QTimer(this);
    Timer2->setInterval(100);
    connect(Timer2, &QTimer::timeout, this, [this] { Timer2_Timer(); });
    m_tune = std::make_unique<TuneController>(m_services.mci, *Timer2);
    Timer3 = new QTimer(this);
    Timer3->setTimerType(Qt::PreciseTimer); // a coarse timer may fire 5 % early
    connect(Timer3, &QTimer::timeout, this, [this] { Timer3_Timer(); });
    Timer4 = new QTimer(this);
    Timer4->setInterval(20);
    connect(Timer4, &QTimer::timeout, this, [this] { Timer4_Timer(); });
}

void MainForm::SetOuterSizeTwips(int width, int height)
{
    centralWidget()->setFixedSize(TwipsToPixels(width - FrameWidthTwips),
                                  TwipsToPixels(height - FrameHeightTwips));
}

void MainForm::Form_Load()
{
    // 1. The character window loads (shape, size, stacking) and hides again.
    m_services.character.Show();
    m_services.character.Hide();
    // 2. The run-time size: the picture area and the interval banner.
    SetOuterSizeTwips(1560, 2730);
    // 3. The settings dialog, loaded hidden, applies the stored check options.
    m_setForm->SetHangUpChoice(m_files.ReadHangUpChoice());
    // 4. The server settings.
    m_files.LoadServerSettings(m_values);
    // 5. The mail library.
    m_services.pop3.NMailInitializeWinSock();
    m_services.pop3.NMailSetOption(1, 8192);
    // 6, 7. Ask for what is missing, without waiting.
    if (m_values.PopServer.isEmpty())
        ShowOptionForm();
    IdPassForm& account = m_idPassForm.get();
    if (account.IdText->text().isEmpty() || account.PassText->text().isEmpty())
        ShowIdPassForm();
    // 8. The quiet picture.
    ShowPicture(QStringLiteral("infant.gif"));
    // 9. No tune left open.
    CloseTune();
    // 10. The interval once more.
    m_setForm->SetIntervalText(QString::number(m_files.ReadIntervalMinutes()));

    Timer1->start();
    Timer2->start();
    Timer4->start();
}

void MainForm::closeEvent(QCloseEvent* event)
{
    if (!m_ending && !readyToEnd()) {
        event->ignore();
        return;
    }
    event->accept();
    Form_Unload();
}

void MainForm::Form_Unload()
{
    CloseTune();
    Timer2->stop();
    m_services.pop3.NMailEndWinSock();
    EndProgram();
}

void MainForm::EndProgram()
{
    if (m_ending || !readyToEnd())
        return;
    m_ending = true;
    m_services.ras.Flush();
    if (endProgramHook)
        endProgramHook();
    else
        QCoreApplication::exit(0);
}

bool MainForm::readyToEnd()
{
    SetForm* settings = m_setForm.loadedForm();
    if (!settings || m_optionsSaved)
        return true;
    if (settings->SaveCheckOptions()) {
        m_optionsSaved = true;
        return true;
    }
    if (m_sessionEnding) {
        ReportSaveFailure(nullptr, m_files.iniPath());
        m_optionsSaved = true; // said once; the ending goes on
        return true;
    }
    // What the user typed stays in the dialog, in front, for another try.
    m_setForm.show();
    ReportSaveFailure(settings, m_files.iniPath());
    return false;
}

void MainForm::EndForSession()
{
    if (m_ending)
        return;
    m_sessionEnding = true;
    close();
}

void MainForm::SaveForSession()
{
    if (SetForm* settings = m_setForm.loadedForm()) {
        if (!settings->SaveCheckOptions())
            ReportSaveFailure(nullptr, m_files.iniPath());
    }
    m_services.ras.Flush();
}

void MainForm::ShowToFront()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void MainForm::CheckFinished(const QString& result, const QString& failureLine)
{
    QString tip =
        QStringLiteral("Pelloway\n最後のチェック: %1\n結果: %2")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), result);
    if (!failureLine.isEmpty())
        tip += QStringLiteral("\n理由: ") + failureLine;
    setToolTip(tip);
}

void MainForm::ShowPicture(const QString& fileName)
{
    const QString path = AppendPath(m_files.appFolder(), DataFolderSuffix + u'/' + fileName);
    m_shownPicture = fileName;
    m_movie->stop();
    WebBrowser1->clear();
    if (!QFile::exists(path))
        return; // a missing picture leaves the area empty
    m_movie->setFileName(path);
    WebBrowser1->setMovie(m_movie);
    m_movie->start();
}

void MainForm::CheckNewMail()
{
    m_check->CheckNewMail();
}

void MainForm::Picture7_Click()
{
    CheckNewMail();
}

void MainForm::Timer1_Timer()
{
    // Reading the interval loads the settings dialog (hidden) again after the user closed it.
    m_setForm->IntervalText();
    // A check is due only once the counting tick says so; clearing the flag first keeps trigger
    // ticks that run inside the check's own waits from starting another one.
    if (!m_checkDue)
        return;
    m_checkDue = false;
    Picture7_Click();
}

void MainForm::Timer3_Timer()
{
    const Counters next = CountSecond(m_setForm->IntervalText(), {Text1->text(), Text4->text()});
    if (next.minute != Text1->text())
        Text1->setText(next.minute);
    Text4->setText(next.second);
    if (next.checkDue)
        m_checkDue = true;
}

void MainForm::Timer4_Timer()
{
    m_label1Left = NextBannerLeft(m_label1Left);
    m_bannerStrip->MoveCaption(TwipsToPixels(m_label1Left)); // moves Label1
}

void MainForm::SetBannerStrip(std::unique_ptr<BannerStrip> strip)
{
    m_bannerStrip = std::move(strip);
}

void MainForm::CloseTune()
{
    m_tune->CloseTune();
}

void MainForm::Command4_Click()
{
    m_tune->Play(m_files.appFolder());
}

void MainForm::Command6_Click()
{
    m_tune->Stop();
}

void MainForm::Command2_Click()
{
    // The compact size: only the picture area shows; nothing restores the start-up size.
    SetOuterSizeTwips(1555, 1955);
    Picture2->resize(TwipsToPixels(1455), TwipsToPixels(1455));
    ShowPicture(QStringLiteral("Yatai.gif"));
    CloseTune();
}

void MainForm::Timer2_Timer()
{
    m_tune->Poll(Check1->checkState() != Qt::Unchecked); // any nonzero value means loop
}

void MainForm::Command5_Click()
{
    HangUpAll(m_services.ras);
}

void MainForm::SetIntervalIndicator(const QString& onOff)
{
    Label2_1->setText(onOff);
}

void MainForm::SetIntervalSwitch(int value)
{
    Check3->setChecked(value != 0);
}

void MainForm::SetIntervalMirrorText(const QString& text)
{
    Text5->setText(text);
}

void MainForm::SetCountingTick(int ms)
{
    if (ms <= 0) {
        Timer3->stop(); // period 0: stopped (a Qt timer with interval 0 would still fire)
        return;
    }
    if (!Timer3->isActive() || Timer3->interval() != ms)
        Timer3->start(ms);
}

void MainForm::ShowIdPassForm()
{
    m_idPassForm.show();
}

void MainForm::ShowOptionForm()
{
    m_optionForm.show();
}

void MainForm::SetAccountFields(const QString& id, const QString& password)
{
    IdPassForm& form = m_idPassForm.get();
    form.IdText->setText(id);
    form.PassText->setText(password);
}

int MainForm::HangUpChoice()
{
    return m_setForm->HangUpChoice();
}

int MainForm::NewMailOnlyChoice()
{
    return m_setForm->NewMailOnlyChoice();
}

void MainForm::ShowCharacterWindow()
{
    m_services.character.Show();
}

} // namespace pelloway
