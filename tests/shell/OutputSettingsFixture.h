#pragma once

#include "ControllerFixture.h"
#include "engine/OutputFormats.h"
#include "engine/Settings.h"
#include "platform/Preferences.h"
#include "platform/Workspace.h"
#include "shell/Dialogs.h"
#include "shell/PictavoAppDelegate.h"
#include "support/TestEnvironment.h"
#include "support/TestTiff.h"
#include "widgets/SegmentedControl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMetaProperty>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStringList>
#include <QTest>

#include <gtest/gtest.h>

// The settings sheet of a started window, and how a user types into it.
class OutputSettingsTest : public ControllerFixture {
protected:
    void SetUp() override { start(); }

    Settings& settings() { return controller->settings(); }
    QDialog* panel() { return controller->outputSettings().outputSettingPanel(); }

    static QStringList itemTexts(const QComboBox* popup) {
        QStringList texts;
        for (int i = 0; i < popup->count(); ++i) {
            texts.append(popup->itemText(i));
        }
        return texts;
    }

    // Replaces the field's text as a user would: select all, then type over
    // it key by key (or delete it).
    static void typeInto(QLineEdit* field, const QString& text) {
        field->selectAll();
        if (text.isEmpty()) {
            QTest::keyClick(field, Qt::Key_Backspace);
        } else {
            QTest::keyClicks(field, text);
        }
    }
};

using OutputSettingsInBothEditions = InBothEditions<OutputSettingsTest>;
