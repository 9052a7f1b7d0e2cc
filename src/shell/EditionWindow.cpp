#include "shell/EditionWindow.h"

#include "platform/SystemLog.h"
#include "widgets/AccessLetter.h"

#include <QAbstractButton>

#include <exception>

void EditionWindow::setButtonKeyCharacter(QAbstractButton* button, const QString& keyChar) {
    if (button == nullptr || keyChar.isEmpty()) {
        return;
    }
    logFailures(QStringLiteral("(setButtonKeyCharacter:keyChar:color:)"),
                [&] { button->setText(withAccessLetter(button->text(), keyChar)); });
}
