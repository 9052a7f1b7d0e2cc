#include "shell/WindowParts.h"

#include "widgets/BusyIndicator.h"
#include "widgets/CustomTableView.h"

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>

#include <stdexcept>

namespace {

template <typename T> void lookUp(const QMainWindow& window, const char* name, T*& part) {
    part = window.findChild<T*>(QString::fromLatin1(name));
    if (part == nullptr) {
        throw std::logic_error(std::string("the window has no ") + name);
    }
}

} // namespace

WindowParts WindowParts::of(const QMainWindow& window) {
    WindowParts p;
#define PICTAVO_PART(name) lookUp(window, #name, p.name)
    PICTAVO_PART(mainTableView);
    PICTAVO_PART(labelTotalFiles);
    PICTAVO_PART(labelTotalTIFFPages);
    PICTAVO_PART(labelTimeTaken);
    PICTAVO_PART(loadingIndicator);
    PICTAVO_PART(cancelBtn);
    PICTAVO_PART(aboutMenuItem);
    PICTAVO_PART(addFilesMenuItem);
    PICTAVO_PART(addFolderMenuItem);
    PICTAVO_PART(cancelLoadMenuItem);
    PICTAVO_PART(convertMenuItem);
    PICTAVO_PART(exportMenuItem);
    PICTAVO_PART(helpMenuItem);
    PICTAVO_PART(importMenuItem);
    PICTAVO_PART(includeSubfoldersMenuItem);
    PICTAVO_PART(minimizeMenuItem);
    PICTAVO_PART(openLogsFolderMenuItem);
    PICTAVO_PART(outputSettingsMenuItem);
    PICTAVO_PART(quitMenuItem);
    PICTAVO_PART(rateMenuItem);
    PICTAVO_PART(removeAllMenuItem);
    PICTAVO_PART(removeMenuItem);
    PICTAVO_PART(selectAllMenuItem);
    PICTAVO_PART(showMainWindowMenuItem);
    PICTAVO_PART(websiteMenuItem);
#undef PICTAVO_PART
    return p;
}
