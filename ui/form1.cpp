#include "form1.h"

#include "app/record.h"
#include "fonts.h"
#include "hotspot.h"
#include "mapbox.h"
#include "picturebutton.h"
#include "pictures.h"
#include "sound/cuepath.h"
#include "twips.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QStyleFactory>
#include <QStyleHints>
#include <QTimer>

namespace ui {

namespace {

// The window design, in twips, relative to the inner area of each control's container.
constexpr TwipsRect kCommand3{3480, 7440, 1575, 855};
constexpr TwipsRect kPicture2{360, -120, 7335, 7575};
constexpr TwipsRect kCommand2{5520, 360, 1335, 1455};
constexpr TwipsRect kLabel43{1080, 120, 1455, 375};
constexpr TwipsRect kLabel42{0, 120, 1095, 375};
constexpr TwipsRect kLblreg{2400, 120, 2655, 375};
constexpr TwipsRect kPicture1{360, 4080, 975, 1095};
constexpr TwipsRect kCommand1{5640, 0, 1455, 1095};
constexpr TwipsRect kText1{4680, 7305, 60, 150};
constexpr TwipsRect kLabel45{360, 7560, 1095, 615};
constexpr TwipsRect kLabel44{6360, 7560, 975, 495};
constexpr TwipsRect kLblpunti{1440, 7560, 855, 495};
constexpr TwipsRect kLblerrori{7440, 7560, 855, 495};

constexpr int kTimerInterval = 20; // milliseconds

const QColor kGrey(192, 192, 192);
const QColor kCyan(0, 255, 255);
const QColor kPurple(192, 0, 192);

QLabel *label(const QString &name, const QString &text, const QColor &colour, TwipsRect where, QWidget *parent)
{
    auto *result = new QLabel(text, parent);
    result->setObjectName(name);
    result->setGeometry(pixelRect(where));
    result->setFont(fonts::sansSerif(12));
    result->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette colours = result->palette();
    colours.setColor(QPalette::WindowText, colour);
    result->setPalette(colours);
    return result;
}

// A counter of the score line: opaque, on the button face.
void makeOpaque(QLabel *counter)
{
    QPalette colours = counter->palette();
    colours.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    counter->setPalette(colours);
    counter->setAutoFillBackground(true);
}

} // namespace

void Form1::prepareApplication()
{
    // One look on every desktop: the window is laid out to the pixel.
    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
    fonts::install();
    // The one text box is a black speck whose cursor nobody can see: it need not blink, and
    // an idle window need not wake twice a second to blink it.
    QGuiApplication::styleHints()->setCursorFlashTime(0);
}

Form1::Form1(std::unique_ptr<quiz::RandomSource> random, QWidget *parent)
    : QMainWindow(parent),
      random_(random ? std::move(random) : std::make_unique<quiz::ClockRandomSource>()),
      game_(*this, *random_)
{
    setObjectName(QStringLiteral("Form1"));
    // Set explicitly: an application display name would add a suffix to the caption.
    setWindowTitle(app::kCaption.toString());
    setWindowIcon(pictures::icon(u"flag.png"));
    // The window's own font, for the controls that name none: the car button and the menu bar.
    setFont(fonts::sansSerif(8));

    createControls();
    createMenu();
    arrangeStackingAndTabOrder();

    // The window keeps its size: nothing on it is ever laid out again.
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    Timer1->start();
}

Form1::~Form1() = default;

void Form1::createControls()
{
    const qreal density = qApp->devicePixelRatio();

    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    client_->setFixedSize(kClientSize);
    QPalette grey = client_->palette();
    grey.setColor(QPalette::Window, kGrey);
    client_->setPalette(grey);
    client_->setAutoFillBackground(true);
    client_->setCursor(pictures::cursor(u"winged.png", density));
    setCentralWidget(client_);

    Command3 = new PictureButton(QStringLiteral("Esci"), QColor(192, 192, 255), client_);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command3->setGeometry(pixelRect(kCommand3));
    Command3->setFont(fonts::serif(13.5));
    Command3->setToolTip(QStringLiteral("Per uscire dal gioco cliccami"));
    Command3->setPicture(pictures::load(u"sphere.png", density));
    Command3->setCursor(pictures::cursor(u"stophand.png", density));
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);

    Picture2 = new MapBox(client_);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->setGeometry(pixelRect(kPicture2));
    Picture2->setPicture(pictures::load(u"map.jpg", density));
    Picture2->setCursor(pictures::cursor(u"globe.png", density));
    Picture2->setFocusPolicy(Qt::StrongFocus);

    Timer1 = new QTimer(Picture2);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kTimerInterval);

    Command2 = new PictureButton(
        QStringLiteral("Cliccami  per iniziare  il viaggio tra le regioni del nostro Paese"), kCyan, Picture2);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setGeometry(pixelRect(kCommand2));
    Command2->setPicture(pictures::load(u"car.png", density));
    Command2->setCursor(Qt::ArrowCursor);
    Command2->setDefault(true);
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);

    Label43 = label(QStringLiteral("Label43"), QStringLiteral("da scoprire:"), Qt::white, kLabel43, Picture2);
    Label42 = label(QStringLiteral("Label42"), QStringLiteral("Regione "), QColor(0, 255, 0), kLabel42, Picture2);
    lblreg = label(QStringLiteral("lblreg"), QString(), QColor(255, 0, 0), kLblreg, Picture2);

    const QCursor flag = pictures::cursor(u"flag.png", density);
    for (const quiz::Hotspot &row : quiz::kHotspots) {
        auto *hotspot = new Hotspot(row.label, Picture2);
        hotspot->setGeometry(pixelRect(kHotspotRects[static_cast<std::size_t>(row.label - 1)]));
        hotspot->setCursor(flag);
        connect(hotspot, &Hotspot::clicked, this, &Form1::Label_Click);
        hotspots_[static_cast<std::size_t>(row.label - 1)] = hotspot;
    }

    // Never shown and never used by the pupil.
    Picture1 = new QWidget(client_);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(pixelRect(kPicture1));
    Picture1->setFocusPolicy(Qt::StrongFocus);
    Picture1->hide();

    Command1 = new PictureButton(QStringLiteral("Per uscire   premi  il tasto esc"), QColor(128, 255, 255), client_);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(pixelRect(kCommand1));
    Command1->setFont(fonts::sansSerif(12, true));
    Command1->setToolTip(QStringLiteral("Per uscire cliccami!"));
    Command1->setEnabled(false);
    Command1->hide();

    // A speck of black, four pixels by ten.
    Text1 = new QLineEdit(QStringLiteral("Text1"), client_);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(pixelRect(kText1));
    Text1->setFrame(false);
    Text1->setFont(fonts::serif(6));
    QPalette black = Text1->palette();
    for (QPalette::ColorRole role : {QPalette::Base, QPalette::Text, QPalette::Window, QPalette::Highlight,
                                     QPalette::HighlightedText})
        black.setColor(role, Qt::black);
    Text1->setPalette(black);
    Text1->setTextMargins(0, 0, 0, 0);
    Text1->setContentsMargins(0, 0, 0, 0);

    Label45 = label(QStringLiteral("Label45"), QStringLiteral("Esatte"), kCyan, kLabel45, client_);
    Label44 = label(QStringLiteral("Label44"), QStringLiteral("Errate"), kPurple, kLabel44, client_);
    lblpunti = label(QStringLiteral("lblpunti"), QStringLiteral("0"), kCyan, kLblpunti, client_);
    lblerrori = label(QStringLiteral("lblerrori"), QStringLiteral("0"), kPurple, kLblerrori, client_);
    makeOpaque(lblpunti);
    makeOpaque(lblerrori);
}

void Form1::createMenu()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("menuBar"));

    istruzioni = bar->addAction(QStringLiteral("Istruzioni"));
    istruzioni->setObjectName(QStringLiteral("istruzioni"));
    connect(istruzioni, &QAction::triggered, this, &Form1::istruzioni_Click);

    scuol = bar->addMenu(QStringLiteral("Scuola"));
    scuol->setObjectName(QStringLiteral("scuol"));
    sotware = scuol->addAction(app::kSchoolNotice.toString());
    sotware->setObjectName(QStringLiteral("sotware"));

    Esc = bar->addAction(QStringLiteral("Per avere una nuova regione clicca sul pulsante con l'automobile"));
    Esc->setObjectName(QStringLiteral("Esc"));
}

void Form1::arrangeStackingAndTabOrder()
{
    // Within a container, buttons, boxes and the text box lie above labels; among controls of
    // one sort, the earlier in the design lies above the later. Raising bottom-up builds that.
    for (QWidget *w : std::initializer_list<QWidget *>{lblerrori, lblpunti, Label44, Label45, Text1, Command1,
                                                       Picture1, Picture2, Command3})
        w->raise();
    for (auto label = kHotspotStacking.rbegin(); label != kHotspotStacking.rend(); ++label)
        hotspots_[static_cast<std::size_t>(*label - 1)]->raise();
    for (QWidget *w : std::initializer_list<QWidget *>{lblreg, Label42, Label43})
        w->raise();
    Command2->raise();

    QWidget::setTabOrder(Text1, Command1);
    QWidget::setTabOrder(Command1, Picture1);
    QWidget::setTabOrder(Picture1, Picture2);
    QWidget::setTabOrder(Picture2, Command2);
    QWidget::setTabOrder(Command2, Command3);
    // The first focus is the tab order's first, not the first control created: a stray
    // Return then presses the car, and a stray Space types into the speck.
    Text1->setFocus();
}

void Form1::Command2_Click() { game_.Command2_Click(); }

void Form1::Label_Click(int label) { game_.Label_Click(label); }

void Form1::Timer1_Timer() { game_.Timer1_Timer(); }

void Form1::Command3_Click()
{
    showMessage(kGoodbyeText, Icon::None, {});
    endProgram();
}

void Form1::istruzioni_Click()
{
    showMessage(kInstructionsText, Icon::Warning, kInstructionsTitle);
}

void Form1::keyPressEvent(QKeyEvent *event)
{
    // Enter presses the button that has the focus, else the car button while it is shown.
    // Esc has no command.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto *focused = qobject_cast<QPushButton *>(focusWidget()); focused && focused->isVisible())
            focused->click();
        else if (Command2->isVisible())
            Command2->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void Form1::showMessage(QStringView text, Icon icon, QStringView title)
{
    if (ending_)
        return; // the program is closing: no further box
    QMessageBox box(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon,
                    (title.isEmpty() ? app::kTitle : title).toString(), text.toString(), QMessageBox::Ok, this);
    box.exec();
}

void Form1::setRegionName(QStringView name)
{
    if (lblreg->text() != name)
        lblreg->setText(name.toString());
}

void Form1::setCounters(const QString &right, const QString &wrong)
{
    // Called at every tick: a counter that has not changed is not touched, so nothing repaints.
    if (lblpunti->text() != right)
        lblpunti->setText(right);
    if (lblerrori->text() != wrong)
        lblerrori->setText(wrong);
}

void Form1::setCarVisible(bool visible)
{
    // A hidden button hands the focus on to the next in the chain, "Esci", where the next
    // Return or Space would end the game. The focus goes back to the map instead.
    if (!visible && focusWidget() == Command2)
        Picture2->setFocus();
    Command2->setVisible(visible);
}

void Form1::setTicking(bool ticking)
{
    if (!ticking)
        Timer1->stop();
    else if (!Timer1->isActive())
        Timer1->start();
}

void Form1::playCue(QStringView relativeName)
{
    player_.suona(sound::cuePath(sound::programFolder(), relativeName));
}

void Form1::endProgram()
{
    if (ending_)
        return;
    ending_ = true;
    Timer1->stop();
    player_.stop();
    QApplication::closeAllWindows();
    emit programEnded();
}

} // namespace ui
