#pragma once

#include <QDialog>

#include <functional>

// A sheet whose Esc key and window close request go where its owner decides
// (its Close path, or nowhere while work runs), never straight to hiding it.
//
// Threads: main thread only.
class SheetDialog : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;

    // A window-modal sheet on `owner` (which owns it) whose Esc and close
    // request run `dismiss`.
    static SheetDialog* onWindow(QWidget* owner, std::function<void()> dismiss);

    // Called for Esc and for the close request; the sheet stays up unless the
    // handler closes it. Without a handler the sheet behaves as any dialog.
    void setDismissHandler(std::function<void()> handler) { m_dismiss = std::move(handler); }

    void reject() override;

private:
    std::function<void()> m_dismiss;
};
