// The keyboard: Enter presses the focused button, Alt+letter the main buttons, Tab walks the
// controls an operator works with, and Escape does not close the station.
#include <QAbstractButton>
#include <QKeyEvent>
#include <QShortcut>

#include "console/vantorel_dlg.h"

namespace vantorel::console {

namespace {

struct Accelerator {
    int id;
    Qt::Key key;
};

// Beside the captions, which stay as they are: the tooltips name the keys.
constexpr std::array<Accelerator, 3> kAccelerators{{
    {ctl::kDetect, Qt::Key_D},
    {ctl::kStartDownloading, Qt::Key_S},
    {ctl::kResetAll, Qt::Key_R},
}};

}  // namespace

void CVantorelDlg::SetUpKeyboard() {
    for (const Accelerator& accelerator : kAccelerators) {
        auto* button = m_controls.As<QAbstractButton>(accelerator.id);
        const QKeySequence keys(Qt::ALT | accelerator.key);
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, button, [button] {
            if (button->isEnabled() && button->isVisible()) {
                button->animateClick();
            }
        });
        button->setToolTip(keys.toString(QKeySequence::NativeText));
    }
    // The read-only path boxes and the eight See Log buttons take focus by the mouse only,
    // so Tab goes from the image buttons and options to Detect and Start without them.
    for (const int pathId : {ctl::kEbootPath, ctl::kPdaPath, ctl::kCscPath, ctl::kLangPath,
                             ctl::kPhonePath, ctl::kSmdPath, ctl::kImgPath}) {
        GetDlgItem(pathId)->setFocusPolicy(Qt::ClickFocus);
    }
    for (const int seeLogId : kSlotSeeLogIds) {
        GetDlgItem(seeLogId)->setFocusPolicy(Qt::ClickFocus);
    }
}

void CVantorelDlg::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        // One key must not wipe a shift's results: the station closes by its close button,
        // which asks while handsets still download.
        event->accept();
        return;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        auto* button = qobject_cast<QAbstractButton*>(focusWidget());
        if (button != nullptr && button->isEnabled()) {
            button->animateClick();
            event->accept();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

}  // namespace vantorel::console
