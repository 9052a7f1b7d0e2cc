#pragma once

#include "usage/UsageStore.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QTimeZone>

#include <memory>

// What a running program would say of itself, pinned.
UsageStore::BundleInfo pinnedBundle();
inline const QString kPinnedUUID = QStringLiteral("3D1219C7-C4C5-404A-AA1F-6D2A48ADFDA4");

// A zone one hour east of UTC without summer time.
QTimeZone oneHourEast();
// 2026-12-07 09:40:29.123 one hour east of UTC.
QDateTime pinnedNow();

// A store as the main window makes it: created (its dates pinned to
// pinnedNow() in oneHourEast()), read, written when there was nothing to read.
std::unique_ptr<UsageStore> openStore(const QString& folder);
// The main window's set-up of a store it has just opened.
void setUpLikeMainWindow(UsageStore& store);
// openStore() then setUpLikeMainWindow().
std::unique_ptr<UsageStore> startApplication(const QString& folder);

QByteArray readAll(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);
// A usage file holding `children` inside its root element.
QByteArray usageFileWith(const QByteArray& children);
