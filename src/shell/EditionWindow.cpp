#include "shell/EditionWindow.h"

#include "platform/SystemLog.h"
#include "widgets/AccessLetter.h"

#include <QAbstractButton>

#include <exception>

void EditionWindow::setButtonKeyCharacter(QAbstractButton* button, const QString& keyChar) {
    if (button == nullptr || keyChar.isEmpty()) {
        return;
    }
    try {
        button->setText(withAccessLetter(button->text(), keyChar));
    } catch (const std::exception& e) {
        systemLogError(QStringLiteral("(setButtonKeyCharacter:keyChar:color:)"),
                       QString::fromLocal8Bit(e.what()));
    }
}
