#include "ui/window/FormSettingsControls.h"

#include "ui/window/OutputNameBoxes.h"
#include "ui/window/WindowGeometry.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QSpinBox>

namespace hookmeter {

void TFormSettingsControls::SetOuterWidth(int width) {
    Controls.Geometry->SetOuterWidth(width);
}

void TFormSettingsControls::SetOuterHeight(int height) {
    Controls.Geometry->SetOuterHeight(height);
}

void TFormSettingsControls::Maximise() {
    Controls.Geometry->RequestMaximise();
}

void TFormSettingsControls::SetRawDataFileType(int index) {
    QButtonGroup& buttons = *Controls.FileTypeButtons;
    index = ClampRawDataFileType(index);
    if (index >= 0) {
        buttons.button(index)->setChecked(true);
        return;
    }
    buttons.setExclusive(false); // an exclusive group cannot uncheck its last button
    for (QAbstractButton* button : buttons.buttons())
        button->setChecked(false);
    buttons.setExclusive(true);
}

void TFormSettingsControls::SetRawDataFileName(const QString& name) {
    Controls.EditRawFile->setText(name);
}

void TFormSettingsControls::SetOutputFileNames(const QString& rawDataFileName) {
    Controls.OutputNames->Derive(rawDataFileName);
}

void TFormSettingsControls::SetParseGlobalSymbolOnly(bool checked) {
    Controls.CheckBoxGlobalSymbolOnly->setChecked(checked);
}

void TFormSettingsControls::SetDSPOutFileName(const QString& name) {
    Controls.EditDSPoutFile->setText(name);
}

void TFormSettingsControls::SetCallStackSize(int size) {
    Controls.UpDownCallStackSize->setValue(ClampCallStackSize(size));
}

bool TFormSettingsControls::IsMaximised() const {
    return Controls.Geometry->IsMaximised();
}

int TFormSettingsControls::OuterWidth() const {
    return Controls.Geometry->OuterWidth();
}

int TFormSettingsControls::OuterHeight() const {
    return Controls.Geometry->OuterHeight();
}

int TFormSettingsControls::RawDataFileType() const {
    return Controls.FileTypeButtons->checkedId();
}

QString TFormSettingsControls::RawDataFileName() const {
    return Controls.EditRawFile->text();
}

bool TFormSettingsControls::ParseGlobalSymbolOnly() const {
    return Controls.CheckBoxGlobalSymbolOnly->isChecked();
}

QString TFormSettingsControls::DSPOutFileName() const {
    return Controls.EditDSPoutFile->text();
}

int TFormSettingsControls::CallStackSize() const {
    return Controls.UpDownCallStackSize->value();
}

} // namespace hookmeter
