#include "widgets/SheetDialog.h"

void SheetDialog::reject() {
    if (m_dismiss) {
        m_dismiss();
        return;
    }
    QDialog::reject();
}
