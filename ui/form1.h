#pragma once

#include "quiz/board.h"
#include "quiz/game.h"
#include "sound/player.h"

#include <QMainWindow>

#include <array>
#include <memory>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;

namespace ui {

class Hotspot;
class MapBox;
class PictureButton;

inline constexpr QStringView kGoodbyeText = u"Ciao ti aspetto per giocare ancora insieme!";
inline constexpr QStringView kInstructionsText = u"La tua gara finisce se superi i 20 errori...";
inline constexpr QStringView kInstructionsTitle = u"Attenzione";

// The one window of the game: the map with its hotspots, the car button, the heading and
// score lines, the exit button and the menu bar. It forwards every event to the game and
// shows what the game decides.
class Form1 final : public QMainWindow, private quiz::Board
{
    Q_OBJECT

public:
    // The window's client area below the menu bar, in pixels.
    static constexpr QSize kClientSize{562, 554};

    // Application-wide set-up that the window relies on: fonts and style. Call once,
    // after the application exists and before the first window.
    static void prepareApplication();

    explicit Form1(std::unique_ptr<quiz::RandomSource> random = {}, QWidget *parent = nullptr);
    ~Form1() override;

    const quiz::Game &game() const { return game_; }

signals:
    // Every window has been closed and the program must end now.
    void programEnded();

public slots:
    void Command2_Click();
    void Command3_Click();
    void istruzioni_Click();
    void Label_Click(int label);
    void Timer1_Timer();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void createControls();
    void createMenu();
    void arrangeStackingAndTabOrder();

    // quiz::Board
    void showMessage(QStringView text, Icon icon, QStringView title) override;
    void setRegionName(QStringView name) override;
    void setCounters(const QString &right, const QString &wrong) override;
    void setCarVisible(bool visible) override;
    void setTicking(bool ticking) override;
    void playCue(QStringView relativeName) override;
    void endProgram() override;

    std::unique_ptr<quiz::RandomSource> random_;
    quiz::Game game_;
    sound::Player player_;
    bool ending_ = false;

    QWidget *client_ = nullptr;
    PictureButton *Command3 = nullptr;
    MapBox *Picture2 = nullptr;
    QTimer *Timer1 = nullptr;
    PictureButton *Command2 = nullptr;
    QLabel *Label43 = nullptr;
    QLabel *Label42 = nullptr;
    QLabel *lblreg = nullptr;
    std::array<Hotspot *, quiz::kHotspotCount> hotspots_{};
    QWidget *Picture1 = nullptr;
    PictureButton *Command1 = nullptr;
    QLineEdit *Text1 = nullptr;
    QLabel *Label45 = nullptr;
    QLabel *Label44 = nullptr;
    QLabel *lblpunti = nullptr;
    QLabel *lblerrori = nullptr;
    QAction *istruzioni = nullptr;
    QMenu *scuol = nullptr;
    QAction *sotware = nullptr;
    QAction *Esc = nullptr;
};

} // namespace ui
