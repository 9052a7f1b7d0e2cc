#include "widgets/SheetDialog.h"

void SheetDialog::reject() {
    if (m_dismiss) {
        m_dismiss();
        return;
    }
    QDialog::reject();
}

SheetDialog* SheetDialog::onWindow(QWidget* owner, std::function<void()> dismiss) {
    auto* sheet = new SheetDialog(owner); // owned by `owner`
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setDismissHandler(std::move(dismiss));
    return sheet;
}
