#include "first_edition/FirstEditionAppDelegate.h"

FirstEditionAppDelegate::FirstEditionAppDelegate(Services services, QObject* parent)
    : PictavoAppDelegate(services, parent) {}

FirstEditionAppDelegate::~FirstEditionAppDelegate() = default;
