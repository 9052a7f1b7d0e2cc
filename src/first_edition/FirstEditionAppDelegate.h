#pragma once

#include "shell/PictavoAppDelegate.h"

// The first edition's main controller: the shared controller with its own
// window (a settings pane beside the list, plain buttons and a toolbar) and
// the few commands that behave differently.
class FirstEditionAppDelegate : public PictavoAppDelegate {
    Q_OBJECT
public:
    explicit FirstEditionAppDelegate(Services services, QObject* parent = nullptr);
    ~FirstEditionAppDelegate() override;
};
