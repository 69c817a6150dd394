#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

// Answers the real message boxes of the window as a pupil would: every few milliseconds it
// looks for the open modal box, writes down its title, text and icon, and presses OK.
// Entries: "<title>|<text>|<icon>" with icon "none" or "warning".
class MessageBoxes final : public QObject
{
public:
    QStringList seen;
    // Runs while a box is open, before it is answered (for example to try clicks behind it).
    std::function<void(QMessageBox *)> whileOpen;

    MessageBoxes()
    {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, &MessageBoxes::answer);
        timer_.start();
    }

    QStringList take() { return std::exchange(seen, {}); }

private:
    void answer()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || box == answering_)
            return;
        answering_ = box;
        const QString icon = box->icon() == QMessageBox::Warning ? QStringLiteral("warning")
                             : box->icon() == QMessageBox::NoIcon ? QStringLiteral("none")
                                                                  : QStringLiteral("other");
        seen << box->windowTitle() + u'|' + box->text() + u'|' + icon;
        if (whileOpen)
            whileOpen(box);
        if (QAbstractButton *ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->reject();
        answering_ = nullptr;
    }

    QTimer timer_;
    QMessageBox *answering_ = nullptr;
};
