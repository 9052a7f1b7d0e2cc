#pragma once

class QComboBox;

// Lists the output types and the TIFF compressions in their popups, so that
// an item's index is the stored code it stands for.
void fillFormatPopups(QComboBox* outputTypes, QComboBox* compressions);
