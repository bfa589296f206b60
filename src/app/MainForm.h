#pragma once

#include "mail/CheckHost.h"
#include "platform/Form.h"
#include "platform/WindowStacking.h"
#include "settings/SetForm.h"
#include "settings/SharedValues.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QMenu;
class QUrl;
class QFrame;
class QLabel;
class QLineEdit;
class QMovie;
class QPushButton;
class QTimer;

namespace pelloway {

class BannerStrip;
class CharacterWindow;
class CheckCycle;
class IdPassForm;
class Mci;
class OptionForm;
class Pop3Library;
class Ras;
class SettingsFiles;
class TuneController;

// What the main window works through: the mail library, the tune device, the dial-up
// service, the character window and the window stacking.
struct MainFormServices
{
    Pop3Library& pop3;
    Mci& mci;
    Ras& ras;
    CharacterWindow& character;
    WindowStacking& stacking = SystemWindowStacking();
};

// "Pelloway": the start-up window and the owner of the running state. Only its top-left
// corner shows: the picture area and the interval banner. The other controls hold state or
// serve as commands for the menus and the code.
class MainForm : public QMainWindow, public SetFormHost, public CheckHost
{
    Q_OBJECT
public:
    MainForm(SettingsFiles& files, MainFormServices services);
    ~MainForm() override;

    // Start-up, run once before the window is first shown.
    void Form_Load();
    // Shutdown, run when the user closes the window.
    void Form_Unload();
    // Ends the program at once: no unload steps, but an open settings dialog's values and
    // queued hang-ups are not lost. Used by the shutdown and by the character window. When
    // the settings cannot be saved, a box says so and the program goes on, the dialog open.
    void EndProgram();
    // The end of the session or a signal (SIGTERM, SIGINT, SIGHUP): the close box's path,
    // asking nothing; a failed save is said on standard error only.
    void EndForSession();
    // The session manager's call to save before logging out: the settings and the hang-ups,
    // the program going on (the logout may yet be cancelled).
    void SaveForSession();
    // Brings the main window to the front (a second start of the program asks for it).
    void ShowToFront();
    // How the program ends; replaced by tests.
    std::function<void()> endProgramHook;

    void ShowPicture(const QString& fileName) override;
    void CheckNewMail();

    // Ticks.
    void Timer1_Timer();
    void Timer2_Timer();
    void Timer3_Timer();
    void Timer4_Timer();

    // Commands and picture buttons.
    void Picture7_Click();
    void Command4_Click();
    void Command6_Click();
    void Command2_Click(); // "元のサイズ"
    void Command5_Click();
    void CloseTune();

    // Menus and the picture buttons they duplicate.
    void Picture1_Click(); // the settings dialog
    void Picture8_Click(); // always on top, on and off
    void Picture8_MouseMove();
    void Picture10_Click(); // the maker's home page
    void Command1_Click();  // shows the character window
    void mhenkou_Click();   // "イベント確認"
    void mebentend_Click(); // "イベント終了"
    int topmostClickCount() const { return m_topmostClickCount; }
    // The address "作者のホームページ" opens.
    static QUrl HomePageUrl(const QString& appFolder);

    // The dialogs, each created on first use.
    FormHolder<SetForm>& setForm() { return m_setForm; }
    FormHolder<OptionForm>& optionForm() { return m_optionForm; }
    FormHolder<IdPassForm>& idPassForm() { return m_idPassForm; }
    CheckCycle& checkCycle() { return *m_check; }
    SharedValues& values() { return m_values; }
    QString shownPicture() const { return m_shownPicture; }
    int label1Left() const { return m_label1Left; }
    // Who draws the banner strip; Qt's painting unless the platform offers better.
    void SetBannerStrip(std::unique_ptr<BannerStrip> strip);
    BannerStrip& bannerStrip() { return *m_bannerStrip; }

    // SetFormHost
    void SetIntervalIndicator(const QString& onOff) override;
    void SetIntervalSwitch(int value) override;
    void SetIntervalMirrorText(const QString& text) override;
    void SetCountingTick(int ms) override;
    void ShowIdPassForm() override;
    void ShowOptionForm() override;

    // CheckHost
    void SetAccountFields(const QString& id, const QString& password) override;
    int HangUpChoice() override;
    int NewMailOnlyChoice() override;
    void HangUp() override { Command5_Click(); }
    void ShowCharacterWindow() override;
    // The tooltip: when the last check ran, its result and the reason of a failure.
    void CheckFinished(const QString& result, const QString& failureLine) override;

    // Sets the outer size in twips, as a window with the classic frame would have it.
    void SetOuterSizeTwips(int width, int height);

    // Controls, named as designed.
    QWidget* Surface = nullptr; // the design surface, 5685 x 5175 twips
    QFrame* Picture2 = nullptr;
    QLabel* WebBrowser1 = nullptr; // shows the picture of ShowPicture
    QFrame* Picture4 = nullptr;
    QLabel* Picture5 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2_1 = nullptr; // Label2(1): "ON" / "OFF"
    QCheckBox* Check3 = nullptr;
    QLineEdit* Text5 = nullptr;
    QLabel* Label2_0 = nullptr; // Label2(0): "分"
    QLineEdit* Text1 = nullptr; // minute counter
    QLineEdit* Text4 = nullptr; // second counter
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;
    QTimer* Timer3 = nullptr;
    QTimer* Timer4 = nullptr;
    QPushButton* Command4 = nullptr; // "再生"
    QPushButton* Command6 = nullptr; // "停止"
    QCheckBox* Check1 = nullptr;     // "ループ"
    QPushButton* Command5 = nullptr; // "切断"
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr; // "元のサイズ"
    QPushButton* Picture7 = nullptr;
    QPushButton* Picture1 = nullptr;
    QPushButton* Picture10 = nullptr;
    QPushButton* Picture8 = nullptr;
    QMenu* mfile = nullptr;
    QAction* mcheck = nullptr;
    QAction* mline2 = nullptr;
    QAction* mset = nullptr;
    QAction* mzenmen = nullptr;
    QAction* mline3 = nullptr;
    QAction* mhp = nullptr;
    QMenu* mgazou = nullptr;
    QAction* mhenkou = nullptr;
    QAction* mline5 = nullptr;
    QAction* mebentend = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Saves the settings dialog's values before the end; false: the save failed and the user
    // has been told, so the program stays.
    bool readyToEnd();

    SettingsFiles& m_files;
    MainFormServices m_services;
    SharedValues m_values;
    FormHolder<SetForm> m_setForm;
    FormHolder<OptionForm> m_optionForm;
    FormHolder<IdPassForm> m_idPassForm;
    std::unique_ptr<CheckCycle> m_check;
    std::unique_ptr<TuneController> m_tune; // works the tune device with Timer2 as its poll
    QMovie* m_movie = nullptr;
    std::unique_ptr<BannerStrip> m_bannerStrip;
    QString m_shownPicture;
    int m_label1Left = 0;
    bool m_ending = false;
    bool m_sessionEnding = false; // ending without asking the user anything
    bool m_optionsSaved = false;  // the ending saved the settings dialog's values, or said why not
    int m_topmostClickCount = 0;
    bool m_checkDue = false; // set by the counting tick, taken by the trigger tick
};

} // namespace pelloway
