#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

// Answers the real message boxes of the window as a pupil would: every few milliseconds it
// looks for the open modal box, writes down its title, text and icon, and presses OK.
// Entries: "<title>|<text>|<icon>" with icon "none" or "warning". A box that is not modal is
// never answered, so a test that meets one fails.
class MessageBoxes final : public QObject
{
public:
    QStringList seen;

    MessageBoxes()
    {
        connect(&timer_, &QTimer::timeout, this, &MessageBoxes::answer);
        timer_.start(5);
    }

    QStringList take() { return std::exchange(seen, {}); }

private:
    void answer()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || box == answering_)
            return;
        answering_ = box;
        const QMessageBox::Icon icon = box->icon();
        seen << box->windowTitle() + u'|' + box->text() + u'|'
                    + (icon == QMessageBox::Warning ? "warning" : icon == QMessageBox::NoIcon ? "none" : "other");
        if (QAbstractButton *ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->reject();
        answering_ = nullptr;
    }

    QTimer timer_;
    QMessageBox *answering_ = nullptr;
};
